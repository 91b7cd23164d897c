#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace velmora {

// The event on which a requester waits for its reply.
//
// A plain auto-reset event lets a reply that arrives after its wait has ended release the
// next request's wait, and have its values taken as that request's. So the event is armed
// for exactly one outstanding request: the receiver claims it before it stores any result
// and signals once the results are in place; a wait that times out disarms it, after which
// a late reply finds nobody to claim and is dropped.
class ReplyEvent {
public:
    // A request is about to be sent: forget any earlier signal.
    void arm();
    // Receiver: take the reply for the waiting request. False when no request is outstanding.
    bool claim();
    // Receiver: the results of the claimed reply are stored; release the waiter.
    void signal();
    // Blocking wait for worker threads: true when signalled within ms.
    bool wait(int ms);

    // Building blocks for a waiter that keeps an event loop running meanwhile.
    bool consumeIfSignalled();
    // At the deadline: disarm unless the receiver is already storing a claimed reply
    // (then the waiter keeps waiting for its signal). True when the wait has failed.
    bool expireIfUnclaimed();

    bool isArmed() const;
    void disarm();
    // The link went down: a request still waiting for its reply stops waiting now (its
    // wait returns false). A reply already being stored is let through.
    void interrupt();

    // Called (on the signalling thread) after each signal, to wake an event-loop waiter.
    void setNotifier(std::function<void()> notifier) { notify_ = std::move(notifier); }

private:
    enum class State { Idle, Armed, Claimed, Signalled };
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    State state_ = State::Idle;
    bool interrupted_ = false;
    std::function<void()> notify_;
};

} // namespace velmora
