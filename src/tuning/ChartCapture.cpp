#include "tuning/ChartCapture.h"

#include <algorithm>
#include <cmath>

namespace velmora {

void ChartCapture::arm(const TriggerSettings &settings, long long from)
{
    settings_ = settings;
    settings_.pre = std::max(0, settings_.pre);
    settings_.post = std::max(0, settings_.post);
    from_ = from;
    previous_.reset();
    lastAlarm_ = -1;
    state_ = State::Armed;
}

void ChartCapture::disarm()
{
    state_ = State::Off;
    previous_.reset();
}

std::optional<long long> ChartCapture::pendingTrigger() const
{
    if (state_ == State::Filling)
        return trigger_;
    return std::nullopt;
}

bool ChartCapture::onPoint(long long index, const std::array<double, 4> &values, int alarm)
{
    if (index < from_)
        return false;
    if (state_ == State::Armed) {
        bool fired = false;
        if (settings_.source == TriggerSource::Alarm) {
            // An alarm appearing: a reading above 0 after one of 0. Unread points keep the
            // last reading, so a lost alarm reply never counts as a change.
            if (alarm >= 0) {
                fired = lastAlarm_ == 0 && alarm > 0;
                lastAlarm_ = alarm;
            }
        } else {
            const double v = values[size_t(std::clamp(settings_.series, 0, 3))];
            if (std::isfinite(v)) {
                if (previous_) {
                    const double level = settings_.level;
                    fired = settings_.edge == TriggerSettings::Edge::Rising ? (*previous_ < level && v >= level)
                                                                            : (*previous_ > level && v <= level);
                }
                previous_ = v;
            }
        }
        // The samples before the trigger must all exist.
        if (!fired || index < settings_.pre)
            return false;
        trigger_ = index;
        state_ = State::Filling;
    }
    if (state_ != State::Filling || index < trigger_ + settings_.post)
        return false;
    captured_ = Window{trigger_, trigger_ - settings_.pre, trigger_ + settings_.post};
    if (settings_.singleShot) {
        state_ = State::Captured;
    } else {
        state_ = State::Armed; // the next crossing after this capture
        previous_ = values[size_t(std::clamp(settings_.series, 0, 3))];
        from_ = index + 1;
    }
    return true;
}

} // namespace velmora
