// Status poll cycles per second through the real serial port against vd840-sim paced at
// 9600 and 57600 baud, beside the rate the wire allows for the same bytes and the rate of a
// minimal client (write, wait, read; no Qt) on the same paced simulator in the same run;
// and the time from program start to the main window shown. Prints numbers; never fails
// on timing.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

#include <array>

#include "../tests/SimProcess.h"
#include "MinimalClient.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Receiver.h"
#include "link/Transactions.h"
#include "monitor/StatusPoller.h"
#include "shell/MainWindow.h"

using namespace velmora;

namespace {

class NullView : public MonitorView {
public:
    void setPowerLamp(bool) override {}
    void setInputLabel(int, const QString &) override {}
    void setOutputLabel(int, const QString &) override {}
    void setStatusText(int, const QString &) override {}
    void setInputLamp(int, bool) override {}
    void setOutputLamp(int, bool) override {}
    void setPresentAlarm(const QString &) override {}
    void setAlarmLamp(bool) override {}
    void setServoLamp(bool) override {}
};

// The poller's four reads: start register and count.
constexpr std::array<std::pair<uint16_t, uint16_t>, 4> kCycleReads{{{800, 10}, {700, 12}, {10, 18}, {26, 1}}};

// The poller's four reads as plainly as a serial master can do them. Cycles per second.
double minimalClient(const QString &device, int baud, int seconds)
{
    std::vector<std::pair<QByteArray, int>> exchanges;
    for (const auto &[start, count] : kCycleReads)
        exchanges.emplace_back(ReadFrame(1, start, count), 4 * count + 5);
    return MinimalClientRate(device, baud, seconds, exchanges);
}

void pollAt(int baud, int seconds)
{
    SimProcess sim({QStringLiteral("--baud"), QString::number(baud)});
    const double minimal = minimalClient(sim.device(), baud, seconds);
    QtSerialDrivePort port(sim.device());
    PortSettings s;
    s.Baud = baud;
    port.applySettings(s);
    if (!port.open()) {
        std::printf("could not open %s\n", qPrintable(sim.device()));
        return;
    }
    RecordingMessageService messages;
    DriveSession session(&port, &messages);
    TThread_Receive receiver(session);
    QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
    session.req.stationNumber = 1;
    MonitorState state;
    NullView view;
    TThread_ST_ALS_READ poller(session, state, view);
    poller.start(QThread::TimeCriticalPriority);
    // Measured between cycle boundaries, so a part cycle does not count. The first cycle
    // also reads the present alarm and is left out.
    auto waitForCycle = [&poller](int n) {
        while (poller.cyclesDone() < n)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    };
    waitForCycle(2);
    const int first = poller.cyclesDone();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const int last = poller.cyclesDone() + 1;
    waitForCycle(last);
    const int cycles = last - first;
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    poller.stopAndWait();

    // Four reads: 8-byte requests; replies of 10, 12, 18 and 1 registers.
    const int bytes = 4 * 8 + (10 * 4 + 5) + (12 * 4 + 5) + (18 * 4 + 5) + (1 * 4 + 5);
    const double wireRate = baud / 10.0 / bytes;
    const double rate = cycles / elapsed;
    std::printf("%6d baud: %6.2f cycles/s; the wire allows %6.2f for %d bytes a cycle: %5.1f%% (goal >= 95%%)\n",
                baud, rate, wireRate, bytes, 100.0 * rate / wireRate);
    std::printf("%6d baud: minimal client %6.2f cycles/s on the same simulator; poller/minimal %.3f (goal >= 0.97)\n",
                baud, minimal, minimal > 0 ? rate / minimal : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer startup;
    startup.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qint64 shownNs = 0;
    {
        RecordingMessageService messages;
        TForm_Main main(messages);
        main.show();
        QCoreApplication::processEvents();
        shownNs = startup.nsecsElapsed();
    }
    std::printf("Start-up to the main window shown (offscreen): %.1f ms (goal <= 300 ms)\n\n", shownNs / 1e6);

    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::printf("Status poll cycles against vd840-sim paced at the baud rate, %d s each\n", seconds);
    pollAt(9600, seconds);
    pollAt(57600, seconds);
    return 0;
}
