#pragma once

// A worker thread that repeats a step until it is asked to stop (the status poller, the
// chart samplers). Stopping waits on the user-interface thread in an event loop, never in
// QThread::wait() alone: the step in progress may be handing work to that thread.

#include <QString>
#include <QThread>

#include <atomic>

namespace velmora {

class LoopThread : public QThread {
    Q_OBJECT
public:
    using QThread::QThread;

    // Why the loop ended.
    enum class End : uint8_t {
        None,    // still running, or never started
        Stopped, // asked to stop
        Ended,   // a round ended the loop (its own reason, e.g. a link failure)
        Failed,  // a round threw: logged, and failure() says what
    };

    // Asks the loop to end at the top of its next round and waits until it has, keeping
    // the user-interface thread's events (the round's own steps) running meanwhile. Never
    // call it from inside a step that a worker waits for.
    void stopAndWait();
    bool stopRequested() const { return stop_; }
    int roundsDone() const { return rounds_; }
    End end() const { return end_; }
    QString failure() const;

protected:
    // One round; false ends the loop.
    virtual bool round() = 0;
    void run() override;

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> rounds_{0};
    std::atomic<End> end_{End::None};
    QString failure_; // written by the thread before it finishes, read after
};

} // namespace velmora
