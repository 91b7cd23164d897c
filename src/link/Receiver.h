#pragma once

#include <QObject>

namespace velmora {

class DriveSession;

// The receiver: gathers reply bytes, decides when a reply is complete, tests it and hands
// the result to the waiting requester.
//
// It runs directly in the port's data-available notification on the user-interface
// thread: every step of it belongs on that thread anyway, so a worker of its own would
// only add two hand-overs per reply.
class TThread_Receive : public QObject {
    Q_OBJECT
public:
    explicit TThread_Receive(DriveSession &session, QObject *parent = nullptr);

    // The port's data-available notification.
    void ApdComPort1TriggerAvail();

    // Feeds bytes as if the port had delivered them (tests, fuzzing).
    void feed(const QByteArray &bytes);

    // A receive buffer past this is a bad reply, never an overflow.
    static constexpr int kMaxReplyLength = 200;

private:
    enum class Echo { None, WaitForMore, Dropped };
    Echo dropEcho();
    bool isWholeAnswer(const QByteArray &frame) const;
    // A whole good frame at the front that answers some other request: a late reply.
    bool lateFrameInFront(const QByteArray &buf) const;
    void handle();
    void takeReply();
    void crcErrorHandling();
    void decodeValues(const uint8_t *copy);
    void decodeIoStatus(const uint8_t *copy);
    bool lastRequestWasIoStatus() const;
    bool answersRequest(const uint8_t *frame) const;
    static int expectedFrameLength(const QByteArray &buf);

    DriveSession &s_;
    bool busy_ = false;
    bool again_ = false;
};

} // namespace velmora
