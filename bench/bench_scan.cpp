// Scan timing: the worst case (every baud rate, stations 1 to 31, nobody answers) and the
// time to the first answer (a drive at station 1, 57600 baud), on the in-process simulated
// drive paced at the probe's baud rate. Prints numbers; never fails on timing.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "params/DriveScan.h"

using namespace velmora;

namespace {

double scanSeconds(std::shared_ptr<SimDrive> drive, const ScanOptions &o, ScanResult &r)
{
    SimulatedPort port(std::move(drive));
    RecordingMessageService messages;
    DriveSession session(&port, &messages);
    TThread_Receive receiver(session);
    QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
    QElapsedTimer t;
    t.start();
    r = DriveScanner(session).run(o);
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ScanResult r;

    auto silent = std::make_shared<SimDrive>(1);
    silent->setSilent(true);
    ScanOptions worst; // every rate of the dialog, stations 1..31
    double s = scanSeconds(silent, worst, r);
    std::printf("no drive, %lld rates x 31 stations: %d probes in %.2f s (%.0f ms a probe)\n",
                static_cast<long long>(worst.bauds.size()), r.tried, s, 1000 * s / r.tried);
    ScanOptions six = worst;
    six.bauds.removeAll(1200);
    s = scanSeconds(silent, six, r);
    std::printf("no drive, 6 rates (2400 and up) x 31 stations: %d probes in %.2f s (goal <= 20 s)\n", r.tried, s);

    auto drive = std::make_shared<SimDrive>(1);
    drive->setPacingBaud(57600);
    ScanOptions first;
    first.bauds = {57600};
    s = scanSeconds(drive, first, r);
    std::printf("drive at station 1, 57600 baud: first answer after %.1f ms (%zu hit)\n", 1000 * s, r.hits.size());
    first.bauds = ScanBaudRates();
    s = scanSeconds(drive, first, r);
    std::printf("drive at station 1, default order (9600 first): first answer after %.1f ms\n", 1000 * s);
    return 0;
}
