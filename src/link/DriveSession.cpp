#include "link/DriveSession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaMethod>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <cmath>

#include "link/DrivePort.h"
#include "link/LinkLog.h"
#include "link/MessageService.h"
#include "link/Texts.h"

namespace velmora {

namespace {

bool isEcho(uint8_t code) { return code == 6 || code == 16 || (code >= 70 && code <= 73); }

ExpectedReply expectationFor(const QByteArray &frame, int replyBytes)
{
    ExpectedReply e;
    if (frame.size() < 2)
        return e;
    const auto *f = reinterpret_cast<const uint8_t *>(frame.constData());
    e.functionCode = f[1];
    if (f[1] == 3 && frame.size() >= 6)
        e.byteCount = 4 * ((f[4] << 8) | f[5]);
    else if (f[1] == 80)
        e.byteCount = replyBytes;
    if (isEcho(f[1]) && frame.size() >= 4)
        e.address = (f[2] << 8) | f[3];
    e.ioStatus = f[1] == 3 && frame.size() >= 6 && f[2] == 0x00 && f[3] == kIoStatusRegister && f[5] == 0x01;
    return e;
}

} // namespace

qint64 LinkClockMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

const char *OutcomeName(ReplyOutcome outcome)
{
    switch (outcome) {
    case ReplyOutcome::Good: return "good";
    case ReplyOutcome::Rejected: return "refused";
    case ReplyOutcome::Bad: return "bad reply";
    case ReplyOutcome::NoReply: return "no reply";
    case ReplyOutcome::LinkDown: return "link down";
    }
    return "?";
}

int ExchangeResult::valueCount() const
{
    if (reply.size() < 3)
        return 0;
    const uint8_t code = uint8_t(reply[1]);
    if (code != 3 && code != 80)
        return 0;
    const int n = uint8_t(reply[2]);
    // N / 4, halves to even, and never past the bytes that are there.
    const int count = static_cast<int>(std::nearbyint(n / 4.0));
    return std::min(count, std::max(0, (int(reply.size()) - 5) / 4));
}

float ExchangeResult::value(int n) const
{
    if (n < 1 || n > valueCount())
        return 0.f;
    const auto *b = reinterpret_cast<const uint8_t *>(reply.constData());
    return DecodeRegisterValue(b[4 * n - 1], b[4 * n], b[4 * n + 1], b[4 * n + 2]);
}

IoBits ExchangeResult::ioBits() const
{
    if (reply.size() < 7)
        return IoBits{};
    return DecodeIoStatus(reinterpret_cast<const uint8_t *>(reply.constData()));
}

IoBits DecodeIoStatus(const uint8_t *reply)
{
    IoBits bits;
    const uint8_t d0 = reply[3], d1 = reply[4], d2 = reply[5], d3 = reply[6];
    for (int i = 0; i < 8; ++i)
        bits.in[size_t(i)] = (d1 >> i) & 1;
    for (int i = 0; i < 4; ++i)
        bits.in[size_t(8 + i)] = (d0 >> i) & 1;
    for (int i = 0; i < 8; ++i)
        bits.out[size_t(i)] = (d3 >> i) & 1;
    bits.out[8] = d2 & 1;
    bits.out[9] = (d2 >> 1) & 1;
    return bits;
}

DriveSession::DriveSession(DrivePort *port, MessageService *messages, QObject *parent)
    : QObject(parent), port_(port), messages_(messages)
{
    replyEvent.setNotifier([this] {
        if (onUiThread())
            emit replySignalled();
    });
}

DriveSession::~DriveSession() = default;

bool DriveSession::onUiThread() const
{
    return QThread::currentThread() == thread();
}

void DriveSession::runOnUi(const std::function<void()> &step)
{
    if (onUiThread()) {
        step();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, &step] {
            ++stepDepth_;
            step();
            --stepDepth_;
        },
        Qt::BlockingQueuedConnection);
}

ExchangeResult DriveSession::exchange(QByteArray request, int replyBytes)
{
    ExchangeResult result;
    if (linkDown_) {
        result.outcome = ReplyOutcome::LinkDown;
        ++counters.linkDown;
        return result;
    }
    if (drainPending_)
        drainLine();
    ++counters.requests;
    counters.bytesSent += quint64(request.size());
    const qint64 sentAt = LinkClockMs();
    const QByteArray logged = request; // shared, not copied
    handOverSend(std::move(request), replyBytes);
    result.outcome = waitForReply();
    switch (result.outcome) {
    case ReplyOutcome::Good:
        ++counters.good;
        result.reply = inflightReply_;
        break;
    case ReplyOutcome::Rejected:
        ++counters.refused;
        result.reply = inflightReply_;
        result.exceptionCode = result.reply.size() > 2 ? uint8_t(result.reply[2]) : 0;
        break;
    case ReplyOutcome::Bad:
        ++counters.bad;
        break;
    case ReplyOutcome::NoReply:
        ++counters.timeouts;
        break;
    case ReplyOutcome::LinkDown:
        ++counters.linkDown;
        break;
    }
    if (result.outcome == ReplyOutcome::NoReply || result.outcome == ReplyOutcome::Bad) {
        // Whatever is still on its way belongs to this request: it must not meet the next.
        failedAtMs_ = LinkClockMs();
        drainPending_ = true;
    }
    counters.bytesAnswered += quint64(result.reply.size());
    const qint64 endedAt = LinkClockMs();
    changes.note(logged, result);
    frameLog.add({sentAt, true, logged, QString::fromLatin1(OutcomeName(result.outcome))});
    if (!result.reply.isEmpty())
        frameLog.add({endedAt, false, result.reply, {}});
    if (WireLogEnabled())
        LogExchange(logged, result.reply, OutcomeName(result.outcome), endedAt - sentAt);
    return result;
}

void DriveSession::handOverSend(QByteArray frame, int replyBytes)
{
    if (onUiThread()) {
        sendFrame(reinterpret_cast<const uint8_t *>(frame.constData()), int(frame.size()), replyBytes);
        return;
    }
    // From a worker the send step is not waited for: the worker's reply wait covers it,
    // which saves a second thread switch per exchange. The frame travels by value; the
    // ticket drops a step still queued when its wait has given up, so it can not go out
    // after the worker has moved on.
    const quint64 ticket = ++sendTicket_;
    replyEvent.arm();
    QMetaObject::invokeMethod(
        this,
        [this, frame = std::move(frame), replyBytes, ticket] {
            if (ticket == sendTicket_ && replyEvent.isArmed())
                sendFrame(reinterpret_cast<const uint8_t *>(frame.constData()), int(frame.size()), replyBytes);
        },
        Qt::QueuedConnection);
}

ReplyOutcome DriveSession::waitForReply()
{
    // A link that went down between the check and the arming: the wait would never end early.
    if (linkDown_) {
        replyEvent.disarm();
        return ReplyOutcome::LinkDown;
    }
    const bool signalled = onUiThread() ? waitOnUiThread() : replyEvent.wait(responseWaitMs);
    if (signalled) {
        link.timeoutCount = 0;
        link.linkFailed = 0;
        return inflightOutcome_;
    }
    if (linkDown_)
        return ReplyOutcome::LinkDown;
    // Not reset here: every further silent wait discards the port's buffers again.
    if (++link.timeoutCount >= kTimeoutsForLinkFailure) {
        link.linkFailed = 1;
        runOnUi([this] {
            if (port_ && port_->isOpen()) {
                port_->discardInput();
                port_->discardOutput();
            }
        });
    }
    return ReplyOutcome::NoReply;
}

bool DriveSession::waitOnUiThread()
{
    ReplyEvent &ev = replyEvent;
    if (ev.consumeIfSignalled())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(this, &DriveSession::replySignalled, &loop, &QEventLoop::quit);
    QObject::connect(this, &DriveSession::linkWentDown, &loop, &QEventLoop::quit);
    deadline.start(responseWaitMs);
    for (;;) {
        if (ev.consumeIfSignalled())
            return true;
        if (linkDown_) {
            ev.disarm();
            return false;
        }
        if (!deadline.isActive() && ev.expireIfUnclaimed())
            return false;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void DriveSession::drainLine()
{
    drainPending_ = false;
    const qint64 failedAt = failedAtMs_;
    const qint64 limit = failedAt + kDrainMaxMs;
    for (;;) {
        const qint64 quietEnd = std::max<qint64>(failedAt, lastByteAtMs_) + drainQuietMs;
        const qint64 until = std::min(quietEnd, limit);
        const qint64 now = LinkClockMs();
        if (now >= until || linkDown_)
            break;
        if (onUiThread()) {
            QEventLoop loop;
            QTimer::singleShot(int(until - now), Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        } else {
            QThread::msleep(static_cast<unsigned long>(until - now));
        }
    }
}

void DriveSession::sendFrame(const uint8_t *frame, int length, int replyBytes)
{
    reply.receiveBuffer.clear();
    if (port_ && port_->isOpen())
        port_->discardInput();
    reply.request = QByteArray(reinterpret_cast<const char *>(frame), length);
    reply.echoPossible = true;
    expected = expectationFor(QByteArray::fromRawData(reinterpret_cast<const char *>(frame), length), replyBytes);
    inflightReply_.clear();
    inflightOutcome_ = ReplyOutcome::NoReply;
    replyEvent.arm();
    if (port_ && port_->isOpen())
        port_->send(frame, length);
}

void DriveSession::buildAndSend(uint8_t type)
{
    req.frameLength = MAKE_REQUEST_ARRAY(req, type);
    sendFrame(req.requestBuffer.data(), req.frameLength);
}

void DriveSession::discardAll()
{
    reply.receiveBuffer.clear();
    if (port_ && port_->isOpen()) {
        port_->discardInput();
        port_->discardOutput();
    }
}

void DriveSession::showMessage(const QString &text)
{
    if (!messages_)
        return;
    if (onUiThread()) {
        messages_->show(text);
        return;
    }
    QMetaObject::invokeMethod(this, [this, text] { messages_->show(text); }, Qt::QueuedConnection);
}

void DriveSession::reportLinkFault(const QString &text)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&DriveSession::linkFaultReported)))
        emit linkFaultReported(text);
    else
        showMessage(text);
}

void DriveSession::setLinkDown(bool down, DownReason why)
{
    if (down && !linkDown_)
        downReason_ = why;
    if (linkDown_.exchange(down) == down)
        return;
    if (!down)
        return;
    qCInfo(lcLink) << "link down";
    replyEvent.interrupt();
    emit linkWentDown();
}

void DriveSession::storeReply(const QByteArray &frame, ReplyOutcome outcome)
{
    inflightReply_ = frame;
    inflightOutcome_ = outcome;
}

void DriveSession::noteBytesArrived()
{
    lastByteAtMs_ = LinkClockMs();
}

void DriveSession::noteLateBytes(int count)
{
    counters.lateBytesDiscarded += quint64(count);
    qCDebug(lcWire) << "late bytes discarded:" << count;
}

void DriveSession::noteEcho()
{
    ++counters.echoesDiscarded;
    if (link.lineEchoes)
        return;
    link.lineEchoes = true;
    qCInfo(lcLink) << "the line echoes every request; echoes are discarded";
    if (echoReported_)
        return;
    echoReported_ = true;
    // Not from inside the receiver: whoever shows link faults shows it when it can.
    QMetaObject::invokeMethod(
        this, [this] { reportLinkFault(QString::fromLatin1(texts::LineEchoes)); }, Qt::QueuedConnection);
}

void DriveSession::forgetLine()
{
    link.lineEchoes = false;
}

void DriveSession::badReplyLimitReached()
{
    qCWarning(lcLink) << "bad-reply limit reached";
    emit badReplyLimit();
    if (offLineAction_)
        offLineAction_();
}

} // namespace velmora
