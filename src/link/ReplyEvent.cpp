#include "link/ReplyEvent.h"

#include <chrono>

namespace velmora {

void ReplyEvent::arm()
{
    std::lock_guard lock(mutex_);
    state_ = State::Armed;
    interrupted_ = false;
}

bool ReplyEvent::claim()
{
    std::lock_guard lock(mutex_);
    if (state_ != State::Armed)
        return false;
    state_ = State::Claimed;
    return true;
}

void ReplyEvent::signal()
{
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Claimed)
            return;
        state_ = State::Signalled;
    }
    cv_.notify_all();
    if (notify_)
        notify_();
}

bool ReplyEvent::wait(int ms)
{
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (state_ == State::Signalled) {
            state_ = State::Idle;
            return true;
        }
        if (interrupted_) {
            interrupted_ = false;
            return false;
        }
        if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (state_ == State::Armed || state_ == State::Idle) {
                state_ = State::Idle;
                return false;
            }
            // Claimed: the receiver is storing this request's reply; its signal follows.
            cv_.wait(lock, [this] { return state_ != State::Claimed; });
        }
    }
}

bool ReplyEvent::consumeIfSignalled()
{
    std::lock_guard lock(mutex_);
    if (state_ != State::Signalled)
        return false;
    state_ = State::Idle;
    return true;
}

bool ReplyEvent::expireIfUnclaimed()
{
    std::lock_guard lock(mutex_);
    if (state_ == State::Claimed)
        return false;
    if (state_ == State::Signalled)
        return false;
    state_ = State::Idle;
    return true;
}

bool ReplyEvent::isArmed() const
{
    std::lock_guard lock(mutex_);
    return state_ == State::Armed;
}

void ReplyEvent::disarm()
{
    std::lock_guard lock(mutex_);
    state_ = State::Idle;
}

} // namespace velmora

namespace velmora {

void ReplyEvent::interrupt()
{
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Armed)
            return;
        state_ = State::Idle;
        interrupted_ = true;
    }
    cv_.notify_all();
}

} // namespace velmora
