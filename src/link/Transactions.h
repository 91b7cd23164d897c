#pragma once

// The exchange pattern every requester follows (build, send, wait at most one second) and
// the transactions many windows share: the value write, its read-back and the servo-on
// guard. All of them may be called from the user-interface thread or from a worker thread.

#include <functional>

#include <QString>

#include "link/DriveSession.h"

namespace velmora {

// The response wait. It runs on the requester's own thread (a thread of its own would only
// add a hand-over): a worker blocks on the event, the user-interface thread waits in a
// nested event loop that keeps replies, timers and handed-over steps running.
class TThread_CHK_RESPONSE {
public:
    explicit TThread_CHK_RESPONSE(DriveSession &session) : s_(session) {}
    ReplyOutcome run();

private:
    bool waitOnUiThread();
    DriveSession &s_;
};

// One read exchange: function 3, start register, count. Values land in entries 1..count.
ReplyOutcome ReadRegisters(DriveSession &s, uint16_t start, uint16_t count);

// A fixed command frame: clears the acknowledgement, sends, waits. True when acknowledged.
bool CommandExchange(DriveSession &s, Command command, ReplyOutcome *outcome = nullptr);

using ValueDisplay = std::function<void(const QString &)>;

// The read-back: reads the register just written (req.startRegister, req.writeCount
// registers) and shows entry 1 by the display rule with CurParamDef's decimals.
// Runs on the caller's thread; the display is called on the user-interface thread.
class TThread_Read_Again {
public:
    TThread_Read_Again(DriveSession &session, ValueDisplay display) : s_(session), display_(std::move(display)) {}
    ReplyOutcome run();

private:
    DriveSession &s_;
    ValueDisplay display_;
};

// The servo-on guard: reads the input assignments and the I/O status and sets the
// servo-on flag from the pin assigned SVONEN. Runs on the caller's thread.
class TThread_CHK_SOVOEN {
public:
    explicit TThread_CHK_SOVOEN(DriveSession &session) : s_(session) {}
    void run();

private:
    DriveSession &s_;
};

// A pause on the user-interface thread that keeps replies, timers and repaints running
// but takes no clicks.
void PauseKeepingEvents(int ms);

// Whether the text passes the range test and conversion for the record, without sending.
bool ConvertsFor(const TParamDef &def, const QString &text);

// The write-one exchange of a value already in req.writeWords[1], without a read-back.
ReplyOutcome WriteOneExchange(DriveSession &s, const TParamDef &def);

struct ValueWriteResult {
    enum Status { Written, ServoOn, WrongParameter } status = WrongParameter;
    ReplyOutcome write = ReplyOutcome::NoReply;
    ReplyOutcome readBack = ReplyOutcome::NoReply;
};

// Writes one value: optional servo-on guard, range test and encoding by the record's kind,
// the write-one exchange, then the read-back into display. Shows "Servo On!!" or
// "Wrong parameter" through the session's message service when it refuses.
// betweenWriteAndReadBack runs after the write's wait (the station-number change of P1-18).
ValueWriteResult ValueWrite(DriveSession &s, const TParamDef &def, const QString &text, bool guard,
                            const ValueDisplay &display,
                            const std::function<void()> &betweenWriteAndReadBack = {});

} // namespace velmora
