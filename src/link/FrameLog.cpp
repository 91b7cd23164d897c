#include "link/FrameLog.h"

namespace velmora {

void FrameLog::add(LoggedFrame frame)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(std::move(frame));
    while (frames_.size() > size_t(kKeep))
        frames_.pop_front();
    ++added_;
}

std::vector<LoggedFrame> FrameLog::snapshot() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return {frames_.begin(), frames_.end()};
}

quint64 FrameLog::added() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return added_;
}

void FrameLog::clear()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
}

QString FrameLog::line(const LoggedFrame &frame, qint64 originMs)
{
    return QStringLiteral("%1  %2  %3  %4")
        .arg(double(frame.atMs - originMs) / 1000.0, 10, 'f', 3)
        .arg(frame.sent ? QLatin1Char('>') : QLatin1Char('<'))
        .arg(QString::fromLatin1(frame.bytes.toHex(' ').toUpper()))
        .arg(frame.outcome)
        .trimmed();
}

} // namespace velmora
