#pragma once

// Finding a drive: which baud rate and station number answer on a port. Each probe is one
// read of the program version (St-18, register 27) with a short reply wait; nothing is
// ever written. Runs on the user-interface thread through DriveSession::exchange(), so the
// event loop keeps turning while it waits; no widgets here.

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "link/DrivePort.h"
#include "link/DriveSession.h"

namespace velmora {

// The baud rates of the port settings dialog in the order a scan tries them: the usual
// 9600 first, then faster, then slower (the slow ones cost the longest waits).
const QList<qint32> &ScanBaudRates();

// The reply wait of one probe at a baud rate: 100 ms at 9600 baud and above; below, long
// enough for the request and its reply to cross the line, plus a margin.
int ScanReplyWaitMs(qint32 baud);

struct ScanOptions {
    // The port to scan: device, parity and the rest. Its baud rate is replaced by each of
    // bauds in turn. A port number of 0 (ask the user) must be resolved first.
    PortSettings port;
    QList<qint32> bauds = ScanBaudRates(); // tried in this order
    int firstStation = 1;                  // 1..255; tried in order, ascending
    int lastStation = 31;
    bool all = false; // false: stop at the first answer
};

struct ScanHit {
    QString port;    // the port's name as it reports it ("ttyUSB0", "Simulated VD-840")
    qint32 baud = 0;
    uint8_t station = 0;
    float version = 0;   // St-18 as read
    QString versionText; // as the status display shows it: "1.04"
};

struct ScanResult {
    std::vector<ScanHit> hits; // in the order found
    int tried = 0;             // probes sent
    int total = 0;             // probes the whole scan would send
    bool cancelled = false;
    QString error; // the port could not be opened at some baud rate: the scan stopped there
    bool ok() const { return error.isEmpty(); }
};

// One scan over a session's port. The session's station, reply wait, line drain and the
// port's settings are put back when it ends; the port is open afterwards exactly when it
// was before. A probe counts as an answer only when a well-formed, unrefused reply carrying
// the probed station's number arrives: garbled, refused and silent probes do not.
// Silent probes are expected here and never count towards a link failure. The session must
// be up: a link taken down (off line, device lost) ends the scan with an error.
class DriveScanner {
public:
    explicit DriveScanner(DriveSession &session) : s_(session) {}

    // After every probe, with probes sent and the scan's total.
    void setProgress(std::function<void(int tried, int total)> progress) { progress_ = std::move(progress); }
    // Asked after every probe; true ends the scan (as cancel() does).
    void setCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
    // From a handler that runs while the scan does (a Cancel button): the scan ends after the
    // probe in flight. Between probes the scanner lets pending events through, so such a
    // click is delivered; a dialog keeps its other controls disabled meanwhile.
    void cancel() { cancelled_ = true; }

    ScanResult run(const ScanOptions &options);

private:
    bool stopRequested();

    DriveSession &s_;
    std::function<void(int, int)> progress_;
    std::function<bool()> cancelCheck_;
    std::atomic<bool> cancelled_{false};
};

} // namespace velmora
