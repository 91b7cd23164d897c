// Time per exchange through the drive link over a pseudo-terminal against vd840-sim,
// beside a minimal write/poll/read loop on the same kind of link, and the status poll
// cycle against the simulator paced at 57600 baud. Prints numbers; never fails on timing.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "../tests/SimProcess.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Receiver.h"
#include "link/Transactions.h"

using namespace velmora;

namespace {

struct Stats {
    double median = 0, p99 = 0, mean = 0;
};

Stats stats(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    Stats s;
    if (us.empty())
        return s;
    s.median = us[us.size() / 2];
    s.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    double sum = 0;
    for (double v : us)
        sum += v;
    s.mean = sum / double(us.size());
    return s;
}

// The least a program can do: write the request, poll, read until the reply is complete.
std::vector<double> minimalLoop(const QString &device, int rounds, const uint8_t *request, int replyLength)
{
    std::vector<double> us;
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return us;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    tcflush(fd, TCIOFLUSH);
    uint8_t buf[256];
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        timer.start();
        if (::write(fd, request, 8) != 8)
            break;
        int got = 0;
        while (got < replyLength) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(fd, buf + got, sizeof buf - size_t(got));
            if (n <= 0)
                break;
            got += int(n);
        }
        us.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    ::close(fd);
    return us;
}

struct Link {
    QtSerialDrivePort port;
    RecordingMessageService messages;
    DriveSession session{&port, &messages};
    TThread_Receive receiver{session};
    bool ok = false;

    explicit Link(const QString &device, int baud) : port(device)
    {
        PortSettings s;
        s.Baud = baud;
        port.applySettings(s);
        ok = port.open();
        QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
        session.req.stationNumber = 1;
    }
};

std::vector<double> linkLoop(Link &link, int rounds, bool fromWorker)
{
    std::vector<double> us;
    us.reserve(size_t(rounds));
    auto body = [&] {
        QElapsedTimer timer;
        for (int i = 0; i < rounds; ++i) {
            timer.start();
            ReadRegisters(link.session, 300, 15);
            us.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
    };
    if (!fromWorker) {
        body();
        return us;
    }
    QThread *worker = QThread::create(body);
    worker->start();
    while (!worker->isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    delete worker;
    return us;
}

void printRow(const char *name, const Stats &s)
{
    std::printf("%-42s median %8.1f us   p99 %8.1f us   mean %8.1f us\n", name, s.median, s.p99, s.mean);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, atoi(argv[1])) : 5000;

    std::printf("Exchange: 8-byte read request, 65-byte reply (15 registers), %d rounds each\n", rounds);
    {
        SimProcess sim;
        if (sim.device().isEmpty()) {
            std::printf("vd840-sim did not start\n");
            return 0;
        }
        RequestState req;
        req.stationNumber = 1;
        req.startRegister = 300;
        req.readCount = 15;
        MAKE_REQUEST_ARRAY(req, FrameRead);

        // Interleave the two so both see the same machine load.
        std::vector<double> minimal, ui, worker;
        Link link(sim.device(), 57600);
        if (!link.ok) {
            std::printf("could not open %s: %s\n", qPrintable(sim.device()), qPrintable(link.port.errorString()));
            return 0;
        }
        for (int part = 0; part < 5; ++part) {
            auto m = minimalLoop(sim.device(), rounds / 5, req.requestBuffer.data(), 65);
            minimal.insert(minimal.end(), m.begin(), m.end());
            auto u = linkLoop(link, rounds / 5, false);
            ui.insert(ui.end(), u.begin(), u.end());
            auto w = linkLoop(link, rounds / 5, true);
            worker.insert(worker.end(), w.begin(), w.end());
        }
        const Stats sm = stats(minimal), su = stats(ui), sw = stats(worker);
        printRow("minimal loop (write, poll, read)", sm);
        printRow("Velmora link, user-interface thread", su);
        printRow("Velmora link, worker thread (poller)", sw);
        std::printf("ratio link/minimal (median): UI thread %.2f, worker %.2f   (goal <= 1.2)\n",
                    su.median / sm.median, sw.median / sm.median);
    }

    std::printf("\nStatus poll cycle (reads of 10, 12, 18 and 1 registers) against vd840-sim paced at 57600 baud\n");
    {
        SimProcess sim({QStringLiteral("--baud"), QStringLiteral("57600")});
        Link link(sim.device(), 57600);
        if (!link.ok) {
            std::printf("could not open the paced simulator\n");
            return 0;
        }
        const int cycles = 100;
        std::vector<double> us;
        QElapsedTimer timer;
        for (int i = 0; i < cycles; ++i) {
            timer.start();
            ReadRegisters(link.session, 800, 10);
            ReadRegisters(link.session, 700, 12);
            ReadRegisters(link.session, 10, 18);
            ReadRegisters(link.session, 26, 1);
            us.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
        const int bytes = 4 * 8 + (10 * 4 + 5) + (12 * 4 + 5) + (18 * 4 + 5) + (1 * 4 + 5);
        const double wireUs = bytes * 10.0 / 57600.0 * 1e6;
        const Stats s = stats(us);
        printRow("poll cycle", s);
        std::printf("wire time of its %d bytes: %.1f us; cycle/wire (median) %.3f; %.1f cycles/s (%.1f%% of the wire limit)\n",
                    bytes, wireUs, s.median / wireUs, 1e6 / s.median, 100.0 * wireUs / s.median);
    }
    return 0;
}
