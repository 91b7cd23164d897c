#pragma once

// The one object that owns the link's mutable state: the reply state the receiver fills, the
// link-failure counters, the link's own accounting, and the port. Every exchange goes
// through exchange(): a request frame goes in by value, an ExchangeResult comes out.
// Windows, workers and the command line are handed the session; a test creates a fresh one.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include "link/ChangeRecord.h"
#include "link/FrameLog.h"
#include "link/FrameCodec.h"
#include "link/ReplyEvent.h"

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
// After a wait without a good reply the line is drained before the next request: what
// arrives is discarded until the line has been quiet this long (a reply 100 ms late is
// caught), but never for longer than kDrainMaxMs after the wait ended.
constexpr int kDrainQuietMs = 150;
constexpr int kDrainMaxMs = 500;

// What became of one exchange.
enum class ReplyOutcome : uint8_t {
    Good,     // a well-formed reply to this request arrived
    Rejected, // the drive refused the request with an exception reply
    Bad,      // a reply failed the CRC test
    NoReply,  // nothing usable within the wait
    LinkDown, // the link went away (device lost, taken off line) before or during the wait
};

const char *OutcomeName(ReplyOutcome outcome);

// The digital inputs and outputs of one I/O status reply: bit i is pin i, 1 = active.
struct IoBits {
    std::array<uint8_t, 12> in{};
    std::array<uint8_t, 10> out{};
};
// The bits of an I/O status reply, from its four data bytes (reply bytes 3 to 6).
IoBits DecodeIoStatus(const uint8_t *reply);

// The result of one exchange: its outcome and, for a reply that arrived whole, the reply.
// Values and bits are decoded from the reply itself, so they can only come from this
// request's own answer.
struct ExchangeResult {
    ReplyOutcome outcome = ReplyOutcome::NoReply;
    uint8_t exceptionCode = 0; // Rejected: the drive's reason (byte 2 of its refusal)
    QByteArray reply;          // Good or Rejected: the reply frame as received

    bool good() const { return outcome == ReplyOutcome::Good; }
    // A command or write is acknowledged, a read answered: the outcome is good.
    explicit operator bool() const { return good(); }
    bool operator==(ReplyOutcome o) const { return outcome == o; }
    // Read replies (functions 3 and 80): how many values, and value n (from 1) by the
    // register decoding rule; 0 past the end.
    int valueCount() const;
    float value(int n) const;
    // An I/O status reply (a read of register 26 alone).
    IoBits ioBits() const;
};

struct ReplyState {
    QByteArray receiveBuffer;
    std::array<float, 101> decodedValues{};   // entries 1..100, the receiver's own record
    std::array<uint8_t, 12> InBits{};
    std::array<uint8_t, 10> OutBits{};
    std::atomic<uint8_t> writeAck{0};
    int crcErrorCount = 0;
    ReplyOutcome lastOutcome = ReplyOutcome::NoReply;
    quint64 bytesSeen = 0; // every byte gathered since start, stale ones included
    // The request outstanding, and whether what arrives first may still be that request
    // coming back (a line that echoes: a two-wire RS-485 adapter without echo suppression).
    QByteArray request;
    bool echoPossible = false;
};

struct LinkState {
    std::atomic<int> timeoutCount{0};
    std::atomic<uint8_t> linkFailed{0};
    uint8_t servoOnFlag = 0;
    uint8_t ServoOnState = 0;
    std::array<uint8_t, 12> InFunc{};
    QStringList inputFunctionTexts = QStringList(12); // display texts of P7-01..P7-12
    // The line has sent a request back: from then on a write's echo is never taken for the
    // drive's acknowledgement. Forgotten when the port is opened again.
    bool lineEchoes = false;
};

// The link's own accounting, read by anyone from any thread.
struct LinkCounters {
    std::atomic<quint64> requests{0};
    std::atomic<quint64> good{0};
    std::atomic<quint64> refused{0};
    std::atomic<quint64> bad{0};
    std::atomic<quint64> timeouts{0};
    std::atomic<quint64> linkDown{0};
    std::atomic<quint64> lateBytesDiscarded{0};
    std::atomic<quint64> repliesTaken{0}; // every whole reply the receiver took, good or not
    std::atomic<quint64> bytesSent{0};    // request bytes
    std::atomic<quint64> bytesAnswered{0}; // bytes of the replies handed to a request
    std::atomic<quint64> echoesDiscarded{0}; // requests the line sent back, dropped unread
};

// What the receiver will accept as the reply to the request just sent.
struct ExpectedReply {
    uint8_t functionCode = 0;
    int byteCount = -1; // read replies: the data bytes asked for; -1 when any count is fine
    int address = -1;   // echoes of writes and commands: the register the request named
    bool ioStatus = false; // a read of the I/O status register alone: decoded into bits
};

class DriveSession : public QObject {
    Q_OBJECT
public:
    DriveSession(DrivePort *port, MessageService *messages, QObject *parent = nullptr);
    ~DriveSession() override;

    DrivePort *port() const { return port_; }
    MessageService *messages() const { return messages_; }

    // The station number every request goes to.
    uint8_t station() const { return req.stationNumber; }
    void setStation(uint8_t station) { req.stationNumber = station; }

    RequestState req;
    ReplyState reply;
    LinkState link;
    LinkCounters counters;
    FrameLog frameLog;
    ChangeRecord changes;
    ReplyEvent replyEvent;
    ExpectedReply expected;
    int responseWaitMs = kResponseWaitMs;
    int drainQuietMs = kDrainQuietMs;

    // One exchange, from any thread: sends the frame, waits at most responseWaitMs for its
    // reply and returns what came of it. replyBytes names the data bytes a function-80
    // reply must carry (-1: any); reads derive it from their count.
    ExchangeResult exchange(QByteArray request, int replyBytes = -1);

    // Runs a step on the user-interface thread (the session's thread) and waits for it.
    // Directly when called there. A step must never wait for the user (no message box).
    void runOnUi(const std::function<void()> &step);
    bool onUiThread() const;
    // True while a worker's step runs on the user-interface thread: nothing may then stop
    // or wait for a worker.
    bool inWorkerStep() const { return stepDepth_ > 0; }

    // (UI) Sends a frame as the request now outstanding: arms the reply event and drops any
    // stale input first, so nothing that arrived before can pass for this request's reply.
    void sendFrame(const uint8_t *frame, int length, int replyBytes = -1);
    // (UI) Builds the request of the given type from req and sends it.
    void buildAndSend(uint8_t type);

    // (UI) Empties the receive buffer and the port's input and output.
    void discardAll();

    // Shows a message on the user-interface thread. From a worker it is queued, never
    // waited for: a worker must not wait on a box the user has to dismiss.
    void showMessage(const QString &text);
    // A window reports that it lost the link; whoever owns the connection shows it with
    // the other link faults, one box at a time. Without an owner it is shown directly.
    void reportLinkFault(const QString &text);

    // The link is down (device gone, taken off line): every exchange returns LinkDown at
    // once, and a wait in progress ends now. Cleared when the link comes up again.
    enum class DownReason : uint8_t { OffLine, DeviceLost, BadReplies };
    void setLinkDown(bool down, DownReason why = DownReason::OffLine);
    bool isLinkDown() const { return linkDown_; }
    DownReason linkDownReason() const { return downReason_; }

    // Receiver: the reply now taken is handed to the waiting exchange (between claim and
    // signal of the reply event).
    void storeReply(const QByteArray &frame, ReplyOutcome outcome);
    // Receiver: bytes arrived while no request was outstanding.
    void noteLateBytes(int count);
    void noteBytesArrived();
    // Receiver: the bad-reply limit is reached.
    void badReplyLimitReached();
    // Receiver: the line sent the request back; the user is told the first time.
    void noteEcho();
    // A new opening of the port: what was learnt of the line no longer holds.
    void forgetLine();

    // The old hook: run when the bad-reply limit is reached, after the signal, once the
    // receiver has returned. Tests and the command line use it; the connection uses the signal.
    void setOffLineAction(std::function<void()> action) { offLineAction_ = std::move(action); }

signals:
    // Emitted on the user-interface thread whenever the receiver releases a waiter.
    void replySignalled();
    // Queued from the receiver: seven bad or unrecognised replies in a row.
    void badReplyLimit();
    // The link went down; windows stop their workers and say so.
    void linkWentDown();
    // A window's report of a lost link, for the connection to show.
    void linkFaultReported(const QString &text);

private:
    void handOverSend(QByteArray frame, int replyBytes);
    ReplyOutcome waitForReply();
    bool waitOnUiThread();
    void drainLine();

    DrivePort *port_;
    MessageService *messages_;
    std::function<void()> offLineAction_;
    std::atomic<quint64> sendTicket_{0};
    std::atomic<bool> linkDown_{false};
    std::atomic<DownReason> downReason_{DownReason::OffLine};
    std::atomic<int> stepDepth_{0};
    bool echoReported_ = false;
    // The exchange in flight: its reply, written by the receiver before it signals.
    QByteArray inflightReply_;
    ReplyOutcome inflightOutcome_ = ReplyOutcome::NoReply;
    // Line draining after a failed wait (steady clock, ms).
    std::atomic<bool> drainPending_{false};
    std::atomic<qint64> failedAtMs_{0};
    std::atomic<qint64> lastByteAtMs_{0};
};

// Steady milliseconds for the link's timing.
qint64 LinkClockMs();

} // namespace velmora
