#pragma once

// What a real serial adapter offers beyond baud and framing, asked of the kernel when the
// port opens: low-latency mode, the driver's own RS-485 direction switching, and the USB
// adapter's latency timer. A pseudo-terminal or a driver without them refuses quietly; the
// link works as before and the link panel says what took.

#include <QString>
#include <QStringList>

namespace velmora {

enum class LineFeature : quint8 {
    NotAsked,   // not wanted (RS-485 off) or no device open
    On,         // the driver took it
    NotOffered, // the driver has no such setting (a pseudo-terminal, most on-board ports)
    Refused,    // the driver has it but would not change it (permissions, unsupported value)
};

struct LineReport {
    QString ttyName;         // "ttyUSB0"; empty when no device is open
    LineFeature lowLatency = LineFeature::NotAsked;
    LineFeature rs485 = LineFeature::NotAsked;
    int latencyTimerMs = -1; // a USB serial adapter's latency timer; -1 where there is none
};

// Asks the driver to hand received bytes on at once (TIOCGSERIAL/TIOCSSERIAL).
LineFeature RequestLowLatency(int fd);
// Switches the driver's RS-485 mode on, with RTS raised while sending and dropped after
// (TIOCGRS485/TIOCSRS485).
LineFeature EnableRs485(int fd);
// The latency timer of a USB serial adapter, in ms, from sysfs; -1 when there is none.
// sysRoot is "/sys" except in tests.
int UsbLatencyTimerMs(const QString &ttyName, const QString &sysRoot = QStringLiteral("/sys"));

// A latency timer above this caps the exchange rate well below the wire's.
constexpr int kGoodLatencyTimerMs = 1;
// What to tell the user once about a slow latency timer, with the one-line fix; empty when
// there is nothing to say.
QString LatencyTimerAdvice(const LineReport &report);

// The report in words, one line per feature, for the link panel and the log.
QString FeatureText(LineFeature feature);
QString LatencyTimerText(const LineReport &report);

} // namespace velmora
