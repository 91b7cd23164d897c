#include "link/DriveSession.h"
#include "link/MessageService.h"

#include <QMetaObject>
#include <QThread>

#include "link/DrivePort.h"

namespace velmora {

namespace {

ExpectedReply expectationFor(const uint8_t *frame, int length)
{
    ExpectedReply e;
    if (length < 2)
        return e;
    e.functionCode = frame[1];
    if (frame[1] == 3 && length >= 6)
        e.byteCount = 4 * ((frame[4] << 8) | frame[5]);
    return e;
}

} // namespace

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
    QMetaObject::invokeMethod(this, step, Qt::BlockingQueuedConnection);
}

void DriveSession::handOverSend(const std::function<void()> &send)
{
    if (onUiThread()) {
        send();
        return;
    }
    // The ticket drops a step overtaken by the worker's next exchange.
    const quint64 ticket = ++sendTicket_;
    replyEvent.arm();
    QMetaObject::invokeMethod(
        this,
        [this, send, ticket] {
            if (ticket == sendTicket_ && replyEvent.isArmed())
                send();
        },
        Qt::QueuedConnection);
}

void DriveSession::sendFrame(const uint8_t *frame, int length)
{
    reply.receiveBuffer.clear();
    if (port_ && port_->isOpen())
        port_->discardInput();
    expected = expectationFor(frame, length);
    replyEvent.arm();
    if (port_ && port_->isOpen())
        port_->send(frame, length);
}

void DriveSession::buildAndSend(uint8_t type)
{
    req.frameLength = MAKE_REQUEST_ARRAY(req, type);
    // Reads always go out as their 8 bytes; everything else as built.
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
    if (messages_)
        runOnUi([this, &text] { messages_->show(text); });
}

void DriveSession::runOffLineAction()
{
    if (offLineAction_)
        offLineAction_();
}

} // namespace velmora
