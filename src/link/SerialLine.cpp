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
#endif

} // namespace

LineFeature RequestLowLatency(int fd)
{
#ifdef __linux__
    serial_struct s{};
    if (::ioctl(fd, TIOCGSERIAL, &s) != 0)
        return refusal(errno);
    if (s.flags & ASYNC_LOW_LATENCY)
        return LineFeature::On;
    s.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &s) != 0)
        return LineFeature::Refused;
    // Some drivers accept the request and ignore the flag: believe only what reads back.
    serial_struct check{};
    if (::ioctl(fd, TIOCGSERIAL, &check) != 0 || !(check.flags & ASYNC_LOW_LATENCY))
        return LineFeature::Refused;
    return LineFeature::On;
#else
    (void)fd;
    return LineFeature::NotOffered;
#endif
}

LineFeature EnableRs485(int fd)
{
#ifdef __linux__
    serial_rs485 r{};
    if (::ioctl(fd, TIOCGRS485, &r) != 0)
        return refusal(errno);
    r.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    r.flags &= ~unsigned(SER_RS485_RTS_AFTER_SEND);
    if (::ioctl(fd, TIOCSRS485, &r) != 0)
        return LineFeature::Refused;
    serial_rs485 check{};
    if (::ioctl(fd, TIOCGRS485, &check) != 0 || !(check.flags & SER_RS485_ENABLED))
        return LineFeature::Refused;
    return LineFeature::On;
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
