#pragma once

// The exchanges every requester uses, all built on DriveSession::exchange(): reads, writes,
// the fixed command frames. Each may be called from the user-interface thread or from a
// worker thread, and returns what came of it; nothing here shows a message.

#include <vector>

#include "link/DriveSession.h"

namespace velmora {

// The response wait of the exchange in flight. The wait runs on the requester's own
// thread (a thread of its own would only add a hand-over): a worker blocks on the event,
// the user-interface thread waits in a nested event loop that keeps replies, timers and
// handed-over steps running. DriveSession::exchange() runs it; kept for its name.
class TThread_CHK_RESPONSE {
public:
    explicit TThread_CHK_RESPONSE(DriveSession &session) : s_(session) {}
    ExchangeResult run(QByteArray request) { return s_.exchange(std::move(request)); }

private:
    DriveSession &s_;
};

// The frames, built for the session's station number.
QByteArray ReadFrame(uint8_t station, uint16_t start, uint16_t count);
QByteArray WriteOneFrame(uint8_t station, uint16_t address, WriteWord word);
QByteArray WriteSeveralFrame(uint8_t station, uint16_t start, const std::vector<WriteWord> &words);
QByteArray InputControlFrame(uint8_t station, uint16_t controlWord);

// One read exchange: function 3, start register, count. Values are result.value(1..count).
ExchangeResult ReadRegisters(DriveSession &s, uint16_t start, uint16_t count);

// A fixed command frame. Acknowledged when the result is good.
ExchangeResult CommandExchange(DriveSession &s, Command command);

// The write-one exchange (function 6) of one register word.
ExchangeResult WriteRegister(DriveSession &s, uint16_t address, WriteWord word);
// The write-several exchange (function 16), at most 47 registers.
ExchangeResult WriteRegisters(DriveSession &s, uint16_t start, const std::vector<WriteWord> &words);
// The input control word (register 2000): a set bit switches its input off.
ExchangeResult WriteInputControl(DriveSession &s, uint16_t controlWord);

// Starting the drive's programmed jog pattern (mode 1 or 2). A start without a good reply
// may still have been taken, so it is followed at once by Auto-JOG OFF.
enum class PatternStart {
    Started,     // acknowledged: the pattern runs
    Refused,     // the drive refused the start: nothing runs
    StoppedAgain, // no good reply; Auto-JOG OFF went out and was acknowledged
    MayRun,      // no good reply, and Auto-JOG OFF was not acknowledged either
    LinkDown,    // the link went down: nothing is known
};
PatternStart StartProgrammedJog(DriveSession &s, Command mode);

// A pause on the user-interface thread that keeps replies, timers and repaints running
// but takes no clicks.
void PauseKeepingEvents(int ms);

} // namespace velmora
