#pragma once

// How a window that talks to the drive takes the serial link from the status poller and
// gives it back. The poller uses the link all the time it runs, so exchanges stay one at a
// time only if it is stopped while such a window is open and restarted when it closes.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace velmora {

// Owner of the status poller (the main window).
class PollerHost {
public:
    virtual ~PollerHost() = default;
    // Asks the poller to stop and waits until the cycle in progress has ended; nothing
    // when no poller runs.
    virtual void stopPoller() = 0;
    // Creates and starts one new poller at the highest priority.
    virtual void startPoller() = 0;
};

class ChildWindowProtocol : public QObject {
    Q_OBJECT
public:
    // The pause between a child window's closing and the new poller's start.
    static constexpr int kRestartPauseMs = 10;

    ChildWindowProtocol(QWidget *mainWindow, PollerHost &host, QObject *parent = nullptr);

    // Stops the poller, creates the window, disables the main window and shows the child
    // (not modal). The child is deleted when it closes; then the main window is enabled
    // and, after the pause, exactly one new poller starts. Returns the child.
    QWidget *open(const std::function<QWidget *()> &create);

    // The child window open now, if any.
    QWidget *current() const { return child_; }
    bool isOpen() const { return !child_.isNull(); }

signals:
    // After the new poller has started.
    void childClosed();

private:
    void onChildGone();

    QWidget *main_;
    PollerHost &host_;
    QPointer<QWidget> child_;
};

} // namespace velmora
