#include "link/SerialLine.h"

#include <QFile>

#include <cerrno>

#ifdef __linux__
#include <linux/serial.h>
#include <linux/tty_flags.h>
#include <sys/ioctl.h>
#endif

namespace velmora {

namespace {

#ifdef __linux__
// Asking for the setting: ENOTTY and EINVAL say the driver has no such request.
LineFeature refusal(int error)
{
    return error == ENOTTY || error == EINVAL ? LineFeature::NotOffered : LineFeature::Refused;
}

// Reads a driver setting, changes it where it is not yet as wanted and reads it back: some
// drivers accept a change and ignore it, so only what reads back counts.
template <typename Setting, typename Wanted, typename Change>
LineFeature askDriver(int fd, unsigned long getRequest, unsigned long setRequest, Wanted wanted, Change change)
{
    Setting s{};
    if (::ioctl(fd, getRequest, &s) != 0)
        return refusal(errno);
    if (wanted(s))
        return LineFeature::On;
    change(s);
    if (::ioctl(fd, setRequest, &s) != 0)
        return LineFeature::Refused;
    Setting check{};
    if (::ioctl(fd, getRequest, &check) != 0 || !wanted(check))
        return LineFeature::Refused;
    return LineFeature::On;
}
#endif

} // namespace

LineFeature RequestLowLatency(int fd)
{
#ifdef __linux__
    return askDriver<serial_struct>(
        fd, TIOCGSERIAL, TIOCSSERIAL, [](const serial_struct &s) { return (s.flags & ASYNC_LOW_LATENCY) != 0; },
        [](serial_struct &s) { s.flags |= ASYNC_LOW_LATENCY; });
#else
    (void)fd;
    return LineFeature::NotOffered;
#endif
}

LineFeature EnableRs485(int fd)
{
#ifdef __linux__
    return askDriver<serial_rs485>(
        fd, TIOCGRS485, TIOCSRS485,
        [](const serial_rs485 &r) {
            return (r.flags & SER_RS485_ENABLED) && (r.flags & SER_RS485_RTS_ON_SEND) && !(r.flags & SER_RS485_RTS_AFTER_SEND);
        },
        [](serial_rs485 &r) {
            r.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
            r.flags &= ~unsigned(SER_RS485_RTS_AFTER_SEND);
        });
#else
    (void)fd;
    return LineFeature::NotOffered;
#endif
}

int UsbLatencyTimerMs(const QString &ttyName, const QString &sysRoot)
{
    if (ttyName.isEmpty() || ttyName.contains(QLatin1Char('/')))
        return -1;
    QFile f(sysRoot + QStringLiteral("/bus/usb-serial/devices/") + ttyName + QStringLiteral("/latency_timer"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int ms = f.read(16).trimmed().toInt(&ok);
    return ok && ms >= 0 ? ms : -1;
}

QString LatencyTimerAdvice(const LineReport &report)
{
    if (report.latencyTimerMs <= kGoodLatencyTimerMs)
        return {};
    return QStringLiteral("The USB serial adapter %1 holds received bytes for up to %2 ms (its latency timer), "
                          "which slows every exchange with the drive. To set it to 1 ms until the adapter is "
                          "plugged in again:\n"
                          "echo 1 | sudo tee /sys/bus/usb-serial/devices/%1/latency_timer\n"
                          "(a udev rule makes it last; see the README).")
        .arg(report.ttyName)
        .arg(report.latencyTimerMs);
}

QString FeatureText(LineFeature feature)
{
    switch (feature) {
    case LineFeature::NotAsked: return QStringLiteral("not asked");
    case LineFeature::On: return QStringLiteral("on");
    case LineFeature::NotOffered: return QStringLiteral("not offered by the driver");
    case LineFeature::Refused: return QStringLiteral("refused by the driver");
    }
    return {};
}

QString LatencyTimerText(const LineReport &report)
{
    if (report.latencyTimerMs < 0)
        return QStringLiteral("none (not a USB serial adapter)");
    const QString ms = QStringLiteral("%1 ms").arg(report.latencyTimerMs);
    return report.latencyTimerMs > kGoodLatencyTimerMs ? ms + QStringLiteral(" (slow: 1 ms is best)") : ms;
}

} // namespace velmora
