#pragma once

// The one object that owns the link's mutable state: the request being built, the reply
// state the receiver fills, the link-failure counters, and the port. Windows, workers and
// the command line are handed the session; a test creates a fresh one.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include "link/FrameCodec.h"
#include "link/ReplyEvent.h"
#include "params/Catalogue.h"

namespace velmora {

class DrivePort;
class MessageService;

// The reply wait of every exchange. Tests shorten it through DriveSession::responseWaitMs.
constexpr int kResponseWaitMs = 1000;
// Consecutive bad replies tolerated before the link is taken off line.
constexpr int kCrcErrorLimit = 6;
// Silent waits in a row that make a link failure.
constexpr int kTimeoutsForLinkFailure = 3;
// The I/O status register; read alone it is decoded into InBits and OutBits.
constexpr uint16_t kIoStatusRegister = 26;

// What became of one exchange. The drive's own windows mostly go on regardless, but a
// caller that must never show a lost reply as a value can tell.
enum class ReplyOutcome : uint8_t {
    Good,     // a well-formed reply to this request arrived
    Rejected, // the drive answered with an exception reply
    Bad,      // a reply failed the CRC test
    NoReply,  // nothing usable within the wait
};

struct ReplyState {
    QByteArray receiveBuffer;
    std::array<float, 101> decodedValues{};   // entries 1..100
    std::array<uint8_t, 12> InBits{};
    std::array<uint8_t, 10> OutBits{};
    std::atomic<uint8_t> writeAck{0};
    int crcErrorCount = 0;
    ReplyOutcome lastOutcome = ReplyOutcome::NoReply;
    quint64 bytesSeen = 0; // every byte gathered since start, stale ones included
};

struct LinkState {
    std::atomic<int> timeoutCount{0};
    std::atomic<uint8_t> linkFailed{0};
    uint8_t servoOnFlag = 0;
    uint8_t ServoOnState = 0;
    std::array<uint8_t, 12> InFunc{};
    QStringList inputFunctionTexts = QStringList(12); // display texts of P7-01..P7-12
};

// What the receiver will accept as the reply to the request just sent.
struct ExpectedReply {
    uint8_t functionCode = 0;
    int byteCount = -1; // read replies: 4 x registers asked; -1 when any count is fine
};

class DriveSession : public QObject {
    Q_OBJECT
public:
    DriveSession(DrivePort *port, MessageService *messages, QObject *parent = nullptr);
    ~DriveSession() override;

    DrivePort *port() const { return port_; }
    MessageService *messages() const { return messages_; }

    RequestState req;
    TParamDef CurParamDef{};
    ReplyState reply;
    LinkState link;
    ReplyEvent replyEvent;
    ExpectedReply expected;
    int responseWaitMs = kResponseWaitMs;

    // Runs a step on the user-interface thread (the session's thread) and waits for it.
    // Directly when called there.
    void runOnUi(const std::function<void()> &step);
    bool onUiThread() const;

    // Has a send step run on the user-interface thread for the exchange about to wait for
    // its reply. From a worker it does not wait for the step: the worker's reply wait covers
    // it, which saves a second thread switch per exchange. A step still queued when that
    // wait has given up is dropped, so it can not go out after the worker has moved on.
    void handOverSend(const std::function<void()> &send);

    // (UI) Sends a frame as the request now outstanding: arms the reply event and drops any
    // stale input first, so nothing that arrived before can pass for this request's reply.
    void sendFrame(const uint8_t *frame, int length);
    // (UI) Builds the request of the given type from req and sends it.
    void buildAndSend(uint8_t type);

    // (UI) Empties the receive buffer and the port's input and output.
    void discardAll();

    // Shows a message on the user-interface thread, from any thread.
    void showMessage(const QString &text);

    // Installed by whoever owns the connection: takes the link off line.
    void setOffLineAction(std::function<void()> action) { offLineAction_ = std::move(action); }
    void runOffLineAction();

signals:
    // Emitted on the user-interface thread whenever the receiver releases a waiter.
    void replySignalled();

private:
    DrivePort *port_;
    MessageService *messages_;
    std::function<void()> offLineAction_;
    std::atomic<quint64> sendTicket_{0};
};

} // namespace velmora
