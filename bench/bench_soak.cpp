// Soak: the main window on line against the in-process simulated drive, unpaced, for a long
// run of status poll cycles, then the monitoring window storing chart samples: a shorter run on
// screen, every sample painted, and a long one with the window hidden;
// resident memory, heap in use, open descriptors and threads after a warm-up and at the end of
// each, both taken while the worker thread runs. Then the monitoring window's sampling rate
// against vd840-sim on a pseudo-terminal paced at 9600 and 57600 baud, beside the rate the
// wire allows for one sample's bytes.
//
// The simulated drive keeps a log of its traffic for tests; the soak empties it as it goes, so
// the figures are the tool's own.
//
// Prints a readable account and, for scripts, one KEY=VALUE line per figure (lines starting
// with "SOAK_"). Prints numbers; never fails on timing. --help lists the arguments.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QThreadPool>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "../tests/SimProcess.h"
#include "MinimalClient.h"
#include "link/Transactions.h"
#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Receiver.h"
#include "shell/MainWindow.h"
#include "tuning/ChartOps.h"
#include "tuning/MonitorWindow.h"
#include "tuning/StripChart.h"

using namespace velmora;

namespace {

// One chart sample on the wire: an 8-byte read request and the 65-byte reply of 15 registers.
constexpr int kSampleBytes = 8 + 65;

// ---- process figures ----

qint64 statusField(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::atoll(line.c_str() + n + 1); // kB for the Vm fields
    }
    return -1;
}

int openDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    const int own = ::dirfd(dir);
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        if (std::atoi(e->d_name) == own)
            continue;
        ++count;
    }
    ::closedir(dir);
    return count;
}

qint64 heapInUse()
{
#ifdef __GLIBC__
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#else
    return 0;
#endif
}

struct Snapshot {
    qint64 rssKiB = 0;
    qint64 heapBytes = 0;
    int fds = 0;
    int threads = 0;
};

Snapshot snapshot()
{
    // Let deferred deletions and queued steps finish first, so they are not counted as growth.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    Snapshot s;
    s.rssKiB = statusField("VmRSS");
    s.heapBytes = heapInUse();
    s.fds = openDescriptors();
    s.threads = int(statusField("Threads"));
    return s;
}

void printSnapshot(const char *when, const Snapshot &s)
{
    std::printf("  %-7s RSS %8lld KiB   heap in use %10lld B   descriptors %3d   threads %2d\n", when,
                static_cast<long long>(s.rssKiB), static_cast<long long>(s.heapBytes), s.fds, s.threads);
}

void key(const char *name, double value, int decimals = 0)
{
    std::printf("SOAK_%s=%.*f\n", name, decimals, value);
}

void keySnapshots(const char *part, const Snapshot &before, const Snapshot &after)
{
    const std::string p(part);
    key((p + "_RSS_BEFORE_KIB").c_str(), double(before.rssKiB));
    key((p + "_RSS_AFTER_KIB").c_str(), double(after.rssKiB));
    key((p + "_RSS_GROWTH_KIB").c_str(), double(after.rssKiB - before.rssKiB));
    key((p + "_HEAP_GROWTH_B").c_str(), double(after.heapBytes - before.heapBytes));
    key((p + "_FDS_BEFORE").c_str(), before.fds);
    key((p + "_FDS_AFTER").c_str(), after.fds);
    key((p + "_THREADS_BEFORE").c_str(), before.threads);
    key((p + "_THREADS_AFTER").c_str(), after.threads);
}

// The simulated drive whose traffic log runUntil() keeps empty.
SimDrive *soakDrive = nullptr;

// Runs the event loop until done() or the time limit; false on the limit. progress() is
// called about every progressMs.
template <typename Done, typename Progress>
bool runUntil(Done done, qint64 limitMs, qint64 progressMs, Progress progress)
{
    QElapsedTimer clock;
    clock.start();
    qint64 nextProgress = progressMs;
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        if (progressMs > 0 && clock.elapsed() >= nextProgress) {
            progress(clock.elapsed());
            nextProgress += progressMs;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (soakDrive)
            soakDrive->clearTraffic();
    }
    return true;
}

template <typename Done>
bool runUntil(Done done, qint64 limitMs)
{
    return runUntil(done, limitMs, 0, [](qint64) {});
}

// ---- the main window on the in-process simulated drive ----

struct SimMain {
    ~SimMain() { soakDrive = nullptr; }
    RecordingMessageService messages;
    std::shared_ptr<SimDrive> drive = std::make_shared<SimDrive>(1);
    TForm_Main main{messages};

    SimMain()
    {
        soakDrive = drive.get();
        main.port().setDeviceLister([] {
            return QList<PortEntry>{PortEntry{QStringLiteral("ttySIM0"), QStringLiteral("/dev/ttySIM0"), {}, false}};
        });
        main.port().setDeviceFactory([this](const PortEntry &) { return std::make_unique<SimulatedPort>(drive); });
        PortSettings s = main.port().settings();
        s.ComNumber = 1;
        s.Baud = 57600;
        main.port().applySettings(s);
        main.show();
        QCoreApplication::processEvents();
    }
};

void soakPolls(SimMain &rig, int cycles, qint64 limitMs)
{
    const int warmUp = 1000;
    std::printf("Status poll soak: the main window on line against the in-process simulated drive (unpaced);\n"
                "%d cycles of warm-up, then %d cycles measured.\n",
                warmUp, cycles);
    TThread_ST_ALS_READ *poller = rig.main.poller();
    if (!poller) {
        std::printf("  the poller did not start\n");
        return;
    }
    if (!runUntil([&] { return poller->cyclesDone() >= warmUp; }, limitMs)) {
        std::printf("  the warm-up did not finish within the time limit\n");
        return;
    }
    const Snapshot before = snapshot();
    const int first = poller->cyclesDone();
    QElapsedTimer clock;
    clock.start();
    const bool complete = runUntil([&] { return poller->cyclesDone() >= first + cycles; }, limitMs, 30000,
                                   [&](qint64 ms) {
                                       std::printf("  ... %4lld s: %8d cycles, RSS %lld KiB, heap %lld B\n",
                                                   static_cast<long long>(ms / 1000), poller->cyclesDone() - first,
                                                   static_cast<long long>(statusField("VmRSS")),
                                                   static_cast<long long>(heapInUse()));
                                       std::fflush(stdout);
                                   });
    const int done = poller->cyclesDone() - first;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const Snapshot after = snapshot();

    const double growthKiB = double(after.rssKiB - before.rssKiB);
    printSnapshot("before", before);
    printSnapshot("after", after);
    std::printf("  %d cycles%s in %.1f s: %.0f cycles/s\n", done, complete ? "" : " (stopped at the time limit)",
                seconds, done / seconds);
    std::printf("  RSS growth %+.0f KiB (goal < 1024 KiB), heap in use %+lld B, descriptors %+d, threads %+d\n",
                growthKiB, static_cast<long long>(after.heapBytes - before.heapBytes), after.fds - before.fds,
                after.threads - before.threads);
    std::printf("  messages shown meanwhile: %lld\n\n", static_cast<long long>(rig.messages.shown.size()));
    key("POLL_CYCLES", done);
    key("POLL_COMPLETE", complete ? 1 : 0);
    key("POLL_SECONDS", seconds, 2);
    key("POLL_RATE", done / seconds, 1);
    keySnapshots("POLL", before, after);
    key("POLL_MESSAGES", double(rig.messages.shown.size()));
}

void soakChart(SimMain &rig, qint64 samples, qint64 limitMs, bool hidden)
{
    const std::string part = hidden ? "CHART" : "CHART_SHOWN";
    auto chartKey = [&part](const char *name, double value, int decimals = 0) {
        key((part + "_" + name).c_str(), value, decimals);
    };
    std::printf("Chart soak: the monitoring window sampling the in-process simulated drive (unpaced)\n"
                "until %lld samples are stored (a sample: one point in each of the 4 series; the value\n"
                "table is a view over them)%s.\n",
                static_cast<long long>(samples),
                hidden ? ",\nwith the window hidden once open: nothing is painted, the rest is as on screen" : "");
    rig.main.Monitor1Click();
    auto *window = rig.main.findChild<TForm_Chart *>();
    QPushButton *start = window ? window->findChild<QPushButton *>(QStringLiteral("Btn_Start")) : nullptr;
    QPushButton *stop = window ? window->findChild<QPushButton *>(QStringLiteral("Btn_Stop")) : nullptr;
    if (!start || !stop) {
        std::printf("  the monitoring window did not open\n");
        return;
    }
    QCoreApplication::processEvents();
    if (hidden)
        window->hide();
    const qint64 warmUp = std::min<qint64>(1000, samples / 10);
    start->click();
    if (!runUntil([&] { return window->series(1)->count() >= warmUp; }, limitMs)) {
        std::printf("  the warm-up did not finish within the time limit\n");
        stop->click();
        return;
    }
    const Snapshot before = snapshot();
    const qint64 first = window->series(1)->count();
    QElapsedTimer clock;
    clock.start();
    qint64 lastCount = first, lastMs = 0;
    const bool complete = runUntil([&] { return window->series(1)->count() >= samples; }, limitMs, 30000,
                                   [&](qint64 ms) {
                                       const qint64 n = window->series(1)->count();
                                       std::printf("  ... %4lld s: %8lld samples, %6.0f samples/s over the last %lld s, RSS %lld KiB, heap %lld B\n",
                                                   static_cast<long long>(ms / 1000), static_cast<long long>(n),
                                                   double(n - lastCount) * 1000.0 / double(std::max<qint64>(1, ms - lastMs)),
                                                   static_cast<long long>((ms - lastMs) / 1000),
                                                   static_cast<long long>(statusField("VmRSS")),
                                                   static_cast<long long>(heapInUse()));
                                       std::fflush(stdout);
                                       lastCount = n;
                                       lastMs = ms;
                                   });
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const Snapshot after = snapshot(); // still sampling, like before
    const qint64 measured = window->series(1)->count() - first;
    stop->click();
    const qint64 stored = window->series(1)->count();
    const Snapshot stopped = snapshot();
    qint64 chartBytes = 0;
    for (int c = 1; c <= 2; ++c)
        chartBytes += window->chart(c)->memoryBytes();

    const double growthB = double(after.rssKiB - before.rssKiB) * 1024.0;
    const double perSample = measured > 0 ? growthB / double(measured) : 0;
    const double heapPerSample =
        measured > 0 ? double(after.heapBytes - before.heapBytes) / double(measured) : 0;
    printSnapshot("before", before);
    printSnapshot("after", after);
    printSnapshot("stopped", stopped);
    std::printf("  %lld samples stored (%lld after the warm-up)%s in %.1f s: %.0f samples/s\n",
                static_cast<long long>(stored), static_cast<long long>(measured),
                complete ? "" : " (stopped at the time limit)", seconds, double(measured) / seconds);
    std::printf("  RSS growth %+.0f KiB: %.1f B per stored sample (goal < 40); heap in use %.1f B per sample;\n"
                "  the series' own storage %.1f B per sample; descriptors %+d, threads %+d\n",
                growthB / 1024.0, perSample, heapPerSample, double(chartBytes) / double(std::max<qint64>(1, stored)),
                after.fds - before.fds, after.threads - before.threads);
    std::printf("  table rows %d, samples counted %d, messages shown meanwhile: %lld\n\n",
                window->valueModel()->rowCount(), window->sampleCounter(),
                static_cast<long long>(rig.messages.shown.size()));
    chartKey("TARGET", double(samples));
    chartKey("SAMPLES", double(stored));
    chartKey("MEASURED", double(measured));
    chartKey("COMPLETE", complete ? 1 : 0);
    chartKey("SECONDS", seconds, 2);
    chartKey("RATE", double(measured) / seconds, 1);
    chartKey("RSS_PER_SAMPLE_B", perSample, 1);
    chartKey("HEAP_PER_SAMPLE_B", heapPerSample, 1);
    chartKey("STORAGE_PER_SAMPLE_B", double(chartBytes) / double(std::max<qint64>(1, stored)), 1);
    keySnapshots(part.c_str(), before, after);
    chartKey("FDS_STOPPED", stopped.fds);
    chartKey("THREADS_STOPPED", stopped.threads);
    chartKey("TABLE_ROWS", window->valueModel()->rowCount());
    chartKey("MESSAGES", double(rig.messages.shown.size()));
    window->close(); // clears the series; the status poller resumes after its pause
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // gone before the next part looks
}

// ---- the monitoring window against vd840-sim, paced ----

void chartOnWire(int baud, int seconds)
{
    SimProcess sim({QStringLiteral("--baud"), QString::number(baud)});
    if (sim.device().isEmpty()) {
        std::printf("%6d baud: vd840-sim did not start\n", baud);
        return;
    }
    // The yardstick first, on the same simulator: the sampler's one read, back to back.
    const double minimal =
        MinimalClientRate(sim.device(), baud, seconds, {{ReadFrame(1, kFirstChartRegister, kChartSignalCount), 65}});
    QtSerialDrivePort port(sim.device());
    PortSettings s;
    s.Baud = baud;
    port.applySettings(s);
    if (!port.open()) {
        std::printf("%6d baud: could not open %s: %s\n", baud, qPrintable(sim.device()), qPrintable(port.errorString()));
        return;
    }
    RecordingMessageService messages;
    DriveSession session(&port, &messages);
    TThread_Receive receiver(session);
    QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
    session.req.stationNumber = 1;
    ChartMemory memory;
    TForm_Chart window(session, memory);
    window.show();
    QCoreApplication::processEvents();

    StripSeries *series = window.series(1);
    auto waitForSample = [&](qint64 n) { return runUntil([&] { return series->count() >= n; }, 10000); };
    window.Btn_StartClick();
    // Measured between sample boundaries; the first sample is left out.
    if (!waitForSample(2)) {
        std::printf("%6d baud: no samples\n", baud);
        window.Btn_StopClick();
        return;
    }
    const qint64 first = series->count();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const qint64 last = series->count() + 1;
    waitForSample(last);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    window.Btn_StopClick();
    const qint64 samples = series->count() >= last ? last - first : series->count() - first;

    const double wireRate = baud / 10.0 / kSampleBytes;
    const double rate = double(samples) / elapsed;
    std::printf("%6d baud: %7.2f samples/s; the wire allows %7.2f for %d bytes a sample: %5.1f%%  (%lld samples in %.2f s)\n",
                baud, rate, wireRate, kSampleBytes, 100.0 * rate / wireRate, static_cast<long long>(samples), elapsed);
    // Where the time between two samples goes: the bytes on the wire, the simulator and the
    // pseudo-terminal (what the minimal client needs beyond the wire), and the tool.
    const double wireUs = 1e6 / wireRate;
    const double minimalUs = minimal > 0 ? 1e6 / minimal : 0;
    const double toolUs = rate > 0 ? 1e6 / rate : 0;
    std::printf("        minimal client %7.2f samples/s (%5.1f%% of the wire); window / minimal client %.3f (goal >= 0.97)\n",
                minimal, 100.0 * minimal / wireRate, minimal > 0 ? rate / minimal : 0.0);
    std::printf("        between two samples: %.0f us = wire %.0f + simulator and line %.0f + tool %.0f\n", toolUs, wireUs,
                minimalUs - wireUs, toolUs - minimalUs);
    const std::string m = "WIRE_" + std::to_string(baud);
    key((m + "_MINIMAL_RATE").c_str(), minimal, 2);
    key((m + "_MINIMAL_PERCENT").c_str(), 100.0 * minimal / wireRate, 1);
    key((m + "_RATIO").c_str(), minimal > 0 ? rate / minimal : 0.0, 3);
    key((m + "_GAP_US").c_str(), toolUs, 0);
    key((m + "_LINE_US").c_str(), minimalUs - wireUs, 0);
    key((m + "_TOOL_US").c_str(), toolUs - minimalUs, 0);
    const std::string p = "WIRE_" + std::to_string(baud);
    key((p + "_SAMPLES").c_str(), double(samples));
    key((p + "_SECONDS").c_str(), elapsed, 3);
    key((p + "_RATE").c_str(), rate, 2);
    key((p + "_WIRE_RATE").c_str(), wireRate, 2);
    key((p + "_PERCENT").c_str(), 100.0 * rate / wireRate, 1);
    key((p + "_MESSAGES").c_str(), double(messages.shown.size()));
}

qint64 argument(int argc, char **argv, const char *name, qint64 fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::max<qint64>(0, std::atoll(argv[i + 1]));
    }
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: bench_soak [--polls N] [--shown-samples N] [--samples N] [--wire-seconds S] [--time-limit S]\n"
                        "  --polls N          status poll cycles measured after 1000 of warm-up (default 100000; 0 skips)\n"
                        "  --shown-samples N  chart samples stored with the monitoring window on screen, every\n"
                        "                     sample painted (default 20000; 0 skips)\n"
                        "  --samples N        chart samples stored with the window hidden once open, nothing\n"
                        "                     painted, the rest as on screen (default 1000000; 0 skips)\n"
                        "  --wire-seconds S   seconds of chart sampling at 9600 and at 57600 baud (default 5; 0 skips)\n"
                        "  --time-limit S     a soak part stops after S seconds and reports what it ran (default 600)\n");
            return 0;
        }
    }
    const qint64 polls = argument(argc, argv, "--polls", 100000);
    const qint64 shownSamples = argument(argc, argv, "--shown-samples", 20000);
    const qint64 samples = argument(argc, argv, "--samples", 1000000);
    const qint64 wireSeconds = argument(argc, argv, "--wire-seconds", 5);
    const qint64 limitMs = std::max<qint64>(1, argument(argc, argv, "--time-limit", 600)) * 1000;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Qt's shared worker threads (each with its event descriptor) would otherwise come and go
    // with idle time and blur the thread and descriptor counts; kept, they are counted once.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);

    const Snapshot atStart = snapshot();
    std::printf("At start: RSS %lld KiB, %d descriptors, %d threads\n\n", static_cast<long long>(atStart.rssKiB),
                atStart.fds, atStart.threads);
    if (polls > 0 || shownSamples > 0 || samples > 0) {
        SimMain rig;
        if (!rig.main.onLineSequence(QStringLiteral("1"))) {
            std::printf("the main window did not go on line\n");
            return 0;
        }
        if (polls > 0)
            soakPolls(rig, int(std::min<qint64>(polls, 1'000'000'000)), limitMs);
        // Painting bounds the rate on screen; the long run leaves it out to reach its count.
        if (shownSamples > 0)
            soakChart(rig, shownSamples, limitMs, false);
        if (samples > 0)
            soakChart(rig, samples, limitMs, true);
        rig.main.BtnOff_LineClick();
    }
    const Snapshot afterSoak = snapshot();
    std::printf("After the soak, main window gone: RSS %lld KiB, %d descriptors, %d threads\n\n",
                static_cast<long long>(afterSoak.rssKiB), afterSoak.fds, afterSoak.threads);
    key("END_FDS", afterSoak.fds);
    key("START_FDS", atStart.fds);

    if (wireSeconds > 0) {
        std::printf("Monitoring window against vd840-sim paced at the baud rate, %lld s each\n",
                    static_cast<long long>(wireSeconds));
        chartOnWire(9600, int(wireSeconds));
        chartOnWire(57600, int(wireSeconds));
    }
    return 0;
}
