#pragma once

// The status poller: while the tool is on line and no other window holds the link, it
// reads the pin assignments, the status block, the I/O word and, while an alarm is
// indicated, the present alarm, over and over, and has the main window show them.

#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>

#include "link/DriveSession.h"
#include "link/LoopThread.h"

namespace velmora {

// What the poller keeps between cycles and between pollers.
struct MonitorState {
    std::array<uint8_t, 10> OutFunc{};
    uint8_t AlarmOutState = 0; // 1: the ALARM output is active, i.e. no alarm
    // The I/O bits of the last good I/O status reply, and whether one came since going on
    // line: the pin states the next cycle judges the alarm and servo pins by.
    IoBits io;
    bool ioKnown = false;
    // Cleared when going on line: nothing is known of a drive that has not answered yet.
    void forgetDrive() { ioKnown = false; }
    std::atomic<int> LabelRefreshCount{0};  // reset from the user-interface thread
    QString PresentAlarmName;               // the poller's own, or the alarm window's while it is stopped
    std::atomic<uint8_t> PresentAlarmCode{0}; // read by "Alarm Info" while the poller runs
};

// The main window's side of the poller. Every call is made on the user-interface thread.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void setPowerLamp(bool on) = 0;
    virtual void setInputLabel(int pin, const QString &text) = 0;
    virtual void setOutputLabel(int label, const QString &text) = 0; // label 0 = Lbl_Output_01
    virtual void setStatusText(int item, const QString &text) = 0;   // item 0 = St-01
    virtual void setInputLamp(int pin, bool on) = 0;
    virtual void setOutputLamp(int lamp, bool on) = 0;               // lamp 0 = LED_BRAKE
    virtual void setPresentAlarm(const QString &name) = 0;
    virtual void setAlarmLamp(bool on) = 0;
    virtual void setServoLamp(bool on) = 0;
};

// The lamp label of a function number; a number without a name shows as the number.
QString InputFunctionLabel(int function);
QString OutputFunctionLabel(int function);
// The name of an alarm number; a number without a name shows as "ALARM n".
QString AlarmLabel(int number);

// The present-alarm read, run by the poller and after an alarm reset. Runs on the caller's
// thread. Only the drive's answer changes the present alarm.
class TThread_Alarm_Present {
public:
    TThread_Alarm_Present(DriveSession &session, MonitorState &state, MonitorView &view)
        : s_(session), state_(state), view_(view) {}
    ReplyOutcome run();

private:
    DriveSession &s_;
    MonitorState &state_;
    MonitorView &view_;
};

class TThread_ST_ALS_READ : public LoopThread {
    Q_OBJECT
public:
    TThread_ST_ALS_READ(DriveSession &session, MonitorState &state, MonitorView &view, QObject *parent = nullptr);
    ~TThread_ST_ALS_READ() override;

    int cyclesDone() const { return roundsDone(); }
    // The poller ended because the link failed (three silent waits, or the watchdog); the
    // owner reports it once the poller has ended.
    bool endedOnLinkFailure() const { return linkFailure_; }

    // One cycle; the whole loop repeats this. False when the poller must end.
    bool cycle();

protected:
    bool round() override { return cycle(); }

private:
    DriveSession &s_;
    MonitorState &state_;
    MonitorView &view_;
    std::atomic<bool> linkFailure_{false};
};

} // namespace velmora
