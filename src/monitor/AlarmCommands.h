#pragma once

// The alarm commands of the main window: reset the present alarm, read the alarm history,
// clear it. Each runs on the caller's thread while the status poller is stopped.

#include <QString>

#include <array>
#include <functional>

#include "link/DriveSession.h"
#include "monitor/StatusPoller.h"

namespace velmora {

constexpr int kAlarmHistoryLength = 10;

// The history as last read, and whether the next read is to fill the list box.
struct AlarmHistoryState {
    std::array<QString, kAlarmHistoryLength> AlarmHistory;
    uint8_t HistoryFillFlag = 0;
};

// Alarm reset: when acknowledged, shows "Reseted", pauses and reads the present alarm.
// Refused or unanswered: "Instruction fail. Try again" and the buffers emptied.
class TThread_Alarm_RESET {
public:
    TThread_Alarm_RESET(DriveSession &session, MonitorState &state, MonitorView &view)
        : s_(session), state_(state), view_(view) {}
    bool run();

private:
    DriveSession &s_;
    MonitorState &state_;
    MonitorView &view_;
};

// History clear: as the reset, without any display.
class TThread_Alarm_History_Reset {
public:
    explicit TThread_Alarm_History_Reset(DriveSession &session) : s_(session) {}
    bool run();

private:
    DriveSession &s_;
};

// History read: forms ten names from the reply, adding each to the list (addLine, user-
// interface thread) while HistoryFillFlag is 1, then clears the flag. Without a good reply
// it says "Instruction fail. Try again" and leaves the history as it was.
class TThread_Alarm_History {
public:
    TThread_Alarm_History(DriveSession &session, AlarmHistoryState &history,
                          std::function<void(const QString &)> addLine)
        : s_(session), history_(history), addLine_(std::move(addLine)) {}
    ReplyOutcome run();

private:
    DriveSession &s_;
    AlarmHistoryState &history_;
    std::function<void(const QString &)> addLine_;
};

} // namespace velmora
