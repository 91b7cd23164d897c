#include "params/DriveScan.h"

#include <QCoreApplication>

#include <algorithm>

#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

namespace velmora {

namespace {

constexpr const TParamDef &kVersionDef = StDefs[17]; // St-18, register 27
constexpr int kProbeRequestBytes = 8;                // station, function, start, count, CRC
constexpr int kProbeReplyBytes = 9;                  // station, function, byte count, one value, CRC
constexpr int kShortestWaitMs = 100;
constexpr int kWaitMarginMs = 50;

} // namespace

const QList<qint32> &ScanBaudRates()
{
    static const QList<qint32> rates{9600, 19200, 38400, 57600, 4800, 2400, 1200};
    return rates;
}

int ScanReplyWaitMs(qint32 baud)
{
    if (baud <= 0)
        return kShortestWaitMs;
    // Ten bit times a byte (start, eight data, stop), rounded up.
    const qint64 lineMs = (qint64(kProbeRequestBytes + kProbeReplyBytes) * 10 * 1000 + baud - 1) / baud;
    return int(std::max<qint64>(kShortestWaitMs, lineMs + kWaitMarginMs));
}

bool DriveScanner::stopRequested()
{
    if (cancelCheck_ && cancelCheck_())
        cancelled_ = true;
    return cancelled_;
}

ScanResult DriveScanner::run(const ScanOptions &options)
{
    ScanResult result;
    cancelled_ = false;
    DrivePort *port = s_.port();
    const int first = std::clamp(options.firstStation, 1, 255);
    const int last = std::clamp(options.lastStation, 1, 255);
    const int stations = last >= first ? last - first + 1 : 0;
    result.total = int(options.bauds.size()) * stations;
    if (!port || result.total == 0)
        return result;

    const uint8_t oldStation = s_.station();
    const int oldWait = s_.responseWaitMs;
    const int oldDrain = s_.drainQuietMs;
    const bool wasOpen = port->isOpen();

    bool done = false;
    for (const qint32 baud : options.bauds) {
        if (done || stopRequested())
            break;
        // A new baud rate takes effect at opening (a pseudo-terminal refuses a change while open).
        port->close();
        PortSettings settings = options.port;
        settings.Baud = baud;
        port->applySettings(settings);
        if (!port->open()) {
            result.error = QStringLiteral("%1 baud: %2").arg(baud).arg(port->errorString());
            break;
        }
        s_.responseWaitMs = ScanReplyWaitMs(baud);
        // Every probe discards what arrived before it and a reply must name its station, so
        // a late answer can not pass for the next station's: no quiet time between probes.
        s_.drainQuietMs = 0;
        for (int station = first; station <= last; ++station) {
            s_.setStation(uint8_t(station));
            s_.link.timeoutCount = 0;
            const ExchangeResult r = ReadRegisters(s_, kVersionDef.Address, 1);
            ++result.tried;
            if (r.outcome == ReplyOutcome::LinkDown) {
                result.error = QStringLiteral("%1 baud: the port went away").arg(baud);
                done = true;
                break;
            }
            if (r.good() && !r.reply.isEmpty() && uint8_t(r.reply[0]) == station && r.valueCount() == 1) {
                ScanHit hit;
                hit.port = port->portName();
                hit.baud = baud;
                hit.station = uint8_t(station);
                hit.version = r.value(1);
                hit.versionText = FormatRecordValue(kVersionDef, hit.version);
                result.hits.push_back(hit);
                if (!options.all)
                    done = true;
            }
            if (progress_)
                progress_(result.tried, result.total);
            QCoreApplication::processEvents();
            if (done || stopRequested())
                break;
        }
    }
    result.cancelled = cancelled_;

    port->close();
    port->applySettings(options.port);
    s_.setStation(oldStation);
    s_.responseWaitMs = oldWait;
    s_.drainQuietMs = oldDrain;
    s_.link.timeoutCount = 0;
    s_.link.linkFailed = 0;
    if (wasOpen && !port->open() && result.error.isEmpty())
        result.error = QStringLiteral("reopening the port: %1").arg(port->errorString());
    return result;
}

} // namespace velmora
