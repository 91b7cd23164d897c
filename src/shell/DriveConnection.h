#pragma once

// The connection: the one owner of the serial port, the link session, the receiver, the
// link watchdog and the status poller, with explicit states. Whatever takes the link down
// (the device going away, the bad-reply limit, a link failure) is an event queued to it and
// handled from the event loop, never inside a step a worker waits for: it stops the workers
// first, tells every open window (a window waiting in an exchange gets "link down" at once),
// then shows one message. Link-fault messages are shown one at a time, in order.

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

#include "link/ComPort.h"
#include "link/DriveSession.h"
#include "link/Receiver.h"
#include "monitor/StatusPoller.h"

namespace velmora {

class MessageService;

// The main window's side of the connection.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    // The buttons and menus of the on-line or off-line state.
    virtual void showOnLineState(bool onLine) = 0;
    // The poller gave up on a silent link: On-Line enabled again, Off-Line disabled, the
    // port still open.
    virtual void showLinkFailed() = 0;
    // The port is open but the station number was not a number: On-Line to try again,
    // Off-Line to close the port.
    virtual void showHalfOpen() = 0;
    // A child window holds the link (the main window is disabled).
    virtual bool childWindowOpen() const = 0;
};

class DriveConnection : public QObject {
    Q_OBJECT
public:
    enum class State {
        OffLine,  // port closed
        Opening,  // the on-line sequence is running
        OnLine,   // port open, poller running or lent to a child window
        Failed,   // the poller found the link silent; the port is still open
        Lost,     // the device went away; the port is closed
        HalfOpen, // the station number was not a number; the port is open
    };
    Q_ENUM(State)

    static constexpr int kWatchdogIntervalMs = 500;

    DriveConnection(MessageService &messages, ConnectionView &view, MonitorView &monitorView,
                    QObject *parent = nullptr);
    ~DriveConnection() override;

    ComPort &port() { return port_; }
    DriveSession &session() { return session_; }
    MonitorState &monitor() { return monitor_; }
    QTimer &watchdogTimer() { return watchdog_; }
    State state() const { return state_; }

    // The on-line sequence with the station text of the on-line dialog. False when it
    // stopped at an error (the message has been shown).
    bool goOnLine(const QString &stationText);
    // The Off-Line action: stop the poller, the off-line buttons, close the port.
    void goOffLine();
    // Confirm in the on-line dialog: the watchdog starts counting.
    void startWatchdog();
    // One watchdog tick (every 500 ms while it runs).
    void watchdogTick();
    // The main window closes: stop everything, close the port.
    void shutdown();

    // The one status poller.
    void stopPoller();
    void startPollerAt(QThread::Priority priority);
    QThread::Priority pollerPriority() const { return pollerPriority_; }
    int pollersStarted() const { return pollersStarted_; }
    bool pollerRunning() const { return pollerRunning_; }
    TThread_ST_ALS_READ *poller() const { return poller_.get(); }

    // A link-fault message, shown after any that is open now.
    void showLinkFault(const QString &text, const QString &detail = {});

signals:
    void stateChanged(velmora::DriveConnection::State state);

private:
    // Tells the user once when the adapter's latency timer slows every exchange.
    void adviseOnAdapter();

    struct Fault {
        QString text;
        QString detail;
    };
    void setState(State s);
    // The link went down: windows and workers stop, the off-line state, the port closed,
    // then the message.
    void takeDown(State to, const Fault &why, DriveSession::DownReason reason);
    void onDeviceLost(const QString &reason);
    void onBadReplyLimit();
    void onPollerEnded(TThread_ST_ALS_READ *poller);
    // Runs the handler now, or once the worker step in progress has returned.
    bool deferredWhileInStep(const std::function<void()> &again);
    void flushFaults();

    MessageService &messages_;
    ConnectionView &view_;
    MonitorView &monitorView_;
    ComPort port_;
    DriveSession session_;
    TThread_Receive receiver_;
    MonitorState monitor_;
    QTimer watchdog_;
    int watchdogTicks_ = 0;
    int watchdogSilentTicks_ = 0;
    quint64 watchdogReplies_ = 0;
    std::unique_ptr<TThread_ST_ALS_READ> poller_;
    int pollersStarted_ = 0;
    QThread::Priority pollerPriority_ = QThread::InheritPriority;
    bool pollerRunning_ = false;
    State state_ = State::OffLine;
    std::deque<Fault> faults_;
    QSet<QString> toldSlowAdapter_; // adapters whose slow latency timer the user has been told of
    bool faultBoxOpen_ = false;
    int holdFaults_ = 0;
};

} // namespace velmora
