#pragma once

// The parameter transactions many windows share, on the link's exchanges: the value write
// with its range test, the read-back that shows what the drive now holds, and the servo-on
// guard that refuses writes while the servo is on.

#include <functional>

#include <QString>

#include "link/Transactions.h"
#include "params/Catalogue.h"

namespace velmora {

using ValueDisplay = std::function<void(const QString &)>;

// The read-back: reads the register just written and shows its value by the display rule
// with the record's decimals. Runs on the caller's thread; the display is called on the
// user-interface thread, and only with the drive's own answer.
class TThread_Read_Again {
public:
    TThread_Read_Again(DriveSession &session, const TParamDef &def, ValueDisplay display)
        : s_(session), def_(def), display_(std::move(display)) {}
    ExchangeResult run();

private:
    DriveSession &s_;
    TParamDef def_;
    ValueDisplay display_;
};

// The servo-on guard: reads the input assignments and the I/O status and sets the
// servo-on flag from the pin assigned SVONEN. Runs on the caller's thread. Without both
// replies the servo state is unknown and the flag is set: a write that needs the servo
// off must not go ahead. known() tells the two apart.
class TThread_CHK_SOVOEN {
public:
    explicit TThread_CHK_SOVOEN(DriveSession &session) : s_(session) {}
    void run();
    // Both reads were answered: the flag is the drive's state, not a precaution.
    bool known() const { return known_; }

private:
    DriveSession &s_;
    bool known_ = false;
};

// The servo-on guard before a write, with its verdict told to the user: onText (the caller's
// "Servo On!!" wording) when the servo is on, the drive's silence when it did not answer
// (nothing more when the link is down: that has been said).
enum class ServoCheck { Off, On, Unanswered };
ServoCheck CheckServoOffForWrite(DriveSession &s, const char *onText);

// The write-one exchange of an encoded value of the record, without a read-back.
ExchangeResult WriteOneExchange(DriveSession &s, const TParamDef &def, WriteWord word);

struct ValueWriteResult {
    // GuardUnanswered: the servo check got no answer, so nothing was written.
    enum Status { Written, ServoOn, WrongParameter, GuardUnanswered } status = WrongParameter;
    ReplyOutcome write = ReplyOutcome::NoReply;
    ReplyOutcome readBack = ReplyOutcome::NoReply;
};

// Writes one value: optional servo-on guard, range test and encoding by the record's kind,
// the write-one exchange, then the read-back into display. Shows "Servo On!!" or
// "Wrong parameter" through the session's message service when it refuses, and says so when
// the servo check went unanswered. A read-back without a good reply empties the display and
// tells the user the value is unconfirmed: it is never left showing a value the drive may
// no longer hold.
// betweenWriteAndReadBack runs after the write's wait (the station-number change of P1-18).
// After a write whose value the drive did not confirm: the display is emptied and the user
// told to Read Again (nothing more when the link is down: that has been said).
void ShowValueUnconfirmed(DriveSession &s, const TParamDef &def, const ValueDisplay &display);

ValueWriteResult ValueWrite(DriveSession &s, const TParamDef &def, const QString &text, bool guard,
                            const ValueDisplay &display,
                            const std::function<void()> &betweenWriteAndReadBack = {});

} // namespace velmora
