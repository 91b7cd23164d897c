#pragma once

// A worker thread that repeats a step until it is asked to stop (the status poller, the
// chart samplers). Stopping waits on the user-interface thread in an event loop, never in
// QThread::wait() alone: the step in progress may be handing work to that thread.

#include <QThread>

#include <atomic>

namespace velmora {

class LoopThread : public QThread {
    Q_OBJECT
public:
    using QThread::QThread;

    // Asks the loop to end at the top of its next round and waits until it has, keeping
    // the user-interface thread's events (the round's own steps) running meanwhile.
    void stopAndWait();
    bool stopRequested() const { return stop_; }
    int roundsDone() const { return rounds_; }

protected:
    // One round; false ends the loop. An exception ends it too, without a message.
    virtual bool round() = 0;
    void run() override;

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> rounds_{0};
};

} // namespace velmora
