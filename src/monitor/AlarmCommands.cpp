#include "monitor/AlarmCommands.h"

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"

namespace velmora {

namespace {

constexpr int kResetShownMs = 100;
inline constexpr char kReseted[] = "Reseted";

// A command that must be acknowledged; on refusal the message and a clean slate.
bool acknowledged(DriveSession &s, Command command)
{
    if (CommandExchange(s, command))
        return true;
    s.showMessage(QString::fromLatin1(texts::InstructionFail));
    s.runOnUi([&s] { s.discardAll(); });
    return false;
}

} // namespace

bool TThread_Alarm_RESET::run()
{
    if (!acknowledged(s_, Command::AlarmReset))
        return false;
    s_.runOnUi([this] {
        view_.setPresentAlarm(QString::fromLatin1(kReseted));
        PauseKeepingEvents(kResetShownMs);
    });
    TThread_Alarm_Present(s_, state_, view_).run();
    return true;
}

bool TThread_Alarm_History_Reset::run()
{
    return acknowledged(s_, Command::AlarmHistoryClear);
}

ReplyOutcome TThread_Alarm_History::run()
{
    const ExchangeResult r = CommandExchange(s_, Command::AlarmHistoryRead);
    // Without a good reply there is no history to show.
    if (!r.good()) {
        history_.HistoryFillFlag = 0;
        s_.showMessage(QString::fromLatin1(texts::InstructionFail));
        return r.outcome;
    }
    s_.runOnUi([this, &r] {
        for (int i = 0; i < kAlarmHistoryLength; ++i) {
            history_.AlarmHistory[size_t(i)] = AlarmLabel(NearestWhole(r.value(i + 1)));
            if (history_.HistoryFillFlag == 1 && addLine_)
                addLine_(history_.AlarmHistory[size_t(i)]);
        }
        history_.HistoryFillFlag = 0;
    });
    return r.outcome;
}

} // namespace velmora
