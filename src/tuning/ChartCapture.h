#pragma once

// Capture on a trigger: a level crossing of one series or an alarm appearing freezes the
// stored samples from `pre` before the trigger to `post` after it, so a step response or an
// alarm's lead-up can be studied and saved. Every sample stays stored, so the samples before
// the trigger are simply the history; the trigger is only taken once `pre` of them exist.

#include <QString>

#include <array>
#include <optional>

namespace velmora {

struct TriggerSettings {
    enum class Source { Series, Alarm };
    enum class Edge { Rising, Falling };
    Source source = Source::Series;
    int series = 0; // 0-based, for Source::Series
    Edge edge = Edge::Rising;
    double level = 0;
    int pre = 100;  // samples kept before the trigger
    int post = 100; // samples after it
    bool singleShot = true; // false: armed again after each capture
};

class ChartCapture {
public:
    enum class State { Off, Armed, Filling, Captured };

    // Watches the points from index `from` on.
    void arm(const TriggerSettings &settings, long long from);
    void disarm();
    // After Clear: nothing captured, nothing watched.
    void reset() { disarm(); captured_.reset(); }

    // One appended point: its index, the value of each series, and the present alarm number
    // read with it (-1: not read). Returns true when this point completes a capture.
    bool onPoint(long long index, const std::array<double, 4> &values, int alarm);

    State state() const { return state_; }
    const TriggerSettings &settings() const { return settings_; }
    bool watchesAlarm() const { return (state_ == State::Armed) && settings_.source == TriggerSource::Alarm; }

    struct Window {
        long long trigger;
        long long first; // trigger - pre
        long long last;  // trigger + post
    };
    // The newest completed capture.
    std::optional<Window> captured() const { return captured_; }
    // The trigger point while filling.
    std::optional<long long> pendingTrigger() const;

    // A line for the window: "Off", "Armed", "Triggered at #n, k to go", "Captured #a..#b".
    // numberOf turns a point index into the number shown (its request number).
    template <class NumberOf>
    QString describe(NumberOf numberOf) const;

private:
    using TriggerSource = TriggerSettings::Source;
    State state_ = State::Off;
    TriggerSettings settings_;
    long long from_ = 0;
    std::optional<double> previous_; // the trigger series' value at the point before
    int lastAlarm_ = -1;             // last alarm number read since arming
    long long trigger_ = 0;
    std::optional<Window> captured_;
};

template <class NumberOf>
QString ChartCapture::describe(NumberOf numberOf) const
{
    switch (state_) {
    case State::Off:
        return captured_ ? QStringLiteral("Captured #%1..#%2").arg(numberOf(captured_->first)).arg(numberOf(captured_->last))
                         : QStringLiteral("Off");
    case State::Armed:
        return QStringLiteral("Armed");
    case State::Filling:
        return QStringLiteral("Triggered at #%1").arg(numberOf(trigger_));
    case State::Captured:
        return QStringLiteral("Captured #%1..#%2").arg(numberOf(captured_->first)).arg(numberOf(captured_->last));
    }
    return {};
}

} // namespace velmora
