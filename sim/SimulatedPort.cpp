#include "SimulatedPort.h"

#include <algorithm>

namespace velmora {

SimulatedPort::SimulatedPort(std::shared_ptr<SimDrive> drive, QObject *parent)
    : DrivePort(parent), drive_(std::move(drive))
{
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SimulatedPort::deliverNext);
}

void SimulatedPort::applySettings(const PortSettings &)
{
    // The simulated line has no baud rate of its own; pacing is the drive's fault injection.
}

bool SimulatedPort::open()
{
    if (unplugged_) {
        error_ = QStringLiteral("the simulated drive has been unplugged");
        return false;
    }
    open_ = true;
    error_.clear();
    return true;
}

void SimulatedPort::close()
{
    open_ = false;
    input_.clear();
    pending_.clear();
    lineFreeUs_ = 0;
    timer_.stop();
}

QByteArray SimulatedPort::readAll()
{
    QByteArray bytes;
    bytes.swap(input_);
    return bytes;
}

void SimulatedPort::send(const quint8 *data, int length)
{
    if (!open_ || unplugged_ || length <= 0)
        return;
    const std::vector<ReplyPiece> pieces =
        drive_->receive(QByteArray(reinterpret_cast<const char *>(data), length));
    // One line: a reply cannot overtake the one still arriving.
    qint64 due = std::max(nowUs(), lineFreeUs_);
    for (const ReplyPiece &p : pieces) {
        due += p.delayUs;
        pending_.push_back(Pending{due, p.bytes});
    }
    lineFreeUs_ = due;
    arm();
}

void SimulatedPort::simulateUnplug()
{
    unplugged_ = true;
    pending_.clear();
    timer_.stop();
    emit deviceLost(QStringLiteral("The simulated drive was unplugged"));
}

void SimulatedPort::arm()
{
    if (pending_.empty() || timer_.isActive())
        return;
    const qint64 waitUs = pending_.front().dueUs - nowUs();
    timer_.start(static_cast<int>(std::clamp<qint64>((waitUs + 999) / 1000, 0, 24 * 3600 * 1000)));
}

void SimulatedPort::deliverNext()
{
    // One piece per timer event, so that the receiver sees each piece on its own.
    if (pending_.empty() || !open_)
        return;
    input_ += pending_.front().bytes;
    pending_.pop_front();
    arm(); // before notifying: a handler may wait in a nested loop for the rest
    if (notifying_) {
        // Like QIODevice::readyRead, never re-entered from a handler's nested event loop;
        // the handler is told again once it returns.
        arrivedWhileNotifying_ = true;
    } else {
        notifying_ = true;
        do {
            arrivedWhileNotifying_ = false;
            emit dataAvailable();
        } while (arrivedWhileNotifying_ && open_ && !input_.isEmpty());
        notifying_ = false;
    }
}

} // namespace velmora
