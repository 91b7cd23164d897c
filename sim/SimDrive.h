#pragma once

// The simulated VD-840: its registers, a small motion and I/O model, the responder that turns
// request bytes into reply bytes, fault injection for tests, and a log of the traffic.
// The in-process port and the vd840-sim program only play out what receive() returns.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QList>

namespace velmora {

// One piece of outgoing bytes and how long to wait, after the previous piece (or after the
// request for the first), before it has fully arrived at the other end.
struct ReplyPiece {
    QByteArray bytes;
    qint64 delayUs = 0;
};

struct TrafficEntry {
    enum Direction {
        Request,   // a complete frame with a good CRC, whatever station it was for
        Reply,     // bytes the drive sent, as sent (stray bytes and faults included)
        Discarded, // received bytes that formed no frame (bad CRC, garbage, a torn frame)
    };
    Direction direction;
    QByteArray bytes;
    qint64 atUs; // drive clock; for a reply, when its last byte is due
};

class SimDrive {
public:
    static constexpr int kMaxFrameLength = 200; // the drive's receive buffer, like the tool's
    static constexpr int kMaxReadCount = 48;    // a read reply of 48 registers is 197 bytes
    static constexpr int kHistoryLength = 10;

    explicit SimDrive(uint8_t station = 1);
    ~SimDrive();
    SimDrive(const SimDrive &) = delete;
    SimDrive &operator=(const SimDrive &) = delete;

    // The station number answered to: P1-18. A write of P1-18 takes effect after its reply.
    uint8_t station() const;

    // Bytes that arrived from the line. Returns what the drive sends back, already delayed,
    // chunked and paced, for the caller to play out in order.
    std::vector<ReplyPiece> receive(const QByteArray &bytes);

    // ---- registers (10..27, 100..907, 1001..1018) ----
    bool hasRegister(uint16_t address) const;
    // Value as the register's kind reads it (real, or whole in the low 16 bits); the I/O word
    // (26) as its raw 32 bits. NaN for an unknown register.
    double registerValue(uint16_t address) const;
    // Stores a value of the register's kind (a whole value keeps its low 16 bits). Setting
    // register 26 sets the inputs from its high half and forces the outputs to its low half.
    bool setRegister(uint16_t address, double value);
    uint32_t rawRegister(uint16_t address) const; // 0 for an unknown register
    bool setRawRegister(uint16_t address, uint32_t raw);

    // ---- digital I/O: bit i is pin i (P7-(i+1) / P8-(i+1)), 1 = active ----
    // Switches the input pin assigned SVONEN; false when no pin carries that function.
    bool setServoOn(bool on);
    bool servoOn() const;
    void setInputs(uint16_t pins);
    uint16_t inputs() const;
    // The outputs follow the drive's state through the P8 assignments unless forced here.
    void setOutputs(std::optional<uint16_t> forced);
    uint16_t outputs() const;

    // ---- motion ----
    bool jogMode() const;
    int jogDirection() const;     // +1 clockwise, -1 counter-clockwise, 0 stopped
    int programmedJogMode() const; // register 1002: 0 off, 1 speed/time, 2 speed/revolutions
    // Moves the drive's clock on (besides real time), so a test can let the motor settle.
    void advance(int ms);

    // ---- alarms ----
    bool raiseAlarm(int number); // 1..15; becomes the present alarm and enters the history
    int presentAlarm() const;
    QList<int> alarmHistory() const; // newest first, at most kHistoryLength

    // ---- fault injection; each may be set at any time ----
    void dropNextReplies(int n);                  // the requests still take effect
    void setReplyDelayMs(int ms);                 // every reply
    void delayNextReply(int ms);                  // on top, once
    void corruptNextCrc(int n);
    void setChunkSize(int bytes);                 // 0: each reply in one piece
    void injectStrayBytes(const QByteArray &bytes); // sent just before the next reply
    void setSilent(bool silent);                  // hears nothing, acts on nothing, answers nothing
    void exceptionNextReplies(int n, uint8_t code); // refuse the next n requests with this code
    void setPacingBaud(int baud);                 // 0: none; else each byte costs 10/baud s

    // ---- traffic ----
    std::vector<TrafficEntry> traffic() const;
    QList<QByteArray> requests() const;
    QList<QByteArray> replies() const;
    void clearTraffic();

private:
    struct Impl;
    mutable std::mutex mutex_;
    std::unique_ptr<Impl> d_;
};

} // namespace velmora
