#pragma once

// The chart samplers: one read of the fifteen status values St-02 .. St-16 after another,
// as fast as the drive answers, each sample handed to the window on the user-interface
// thread. The monitoring window plots four of the values, the gain tuning chart two.

#include <QString>

#include <array>
#include <atomic>
#include <functional>

#include "link/DriveSession.h"
#include "link/LoopThread.h"

namespace velmora {

constexpr int kChartSignalCount = 15;
constexpr uint16_t kFirstChartRegister = 11; // St-02
constexpr int kMaxChartSeries = 4;

// The list texts of the fifteen signals; item n (1..15) is register 10 + n.
extern const std::array<const char *, kChartSignalCount> ChartSignalNames;

// Display text of signal item (1..15) for a decoded value: the three pulse counts as
// signed 16-bit numbers, everything else by the display rule with its record's decimals.
QString ChartSignalText(int item, double decoded);

inline constexpr char kChartLinkFailure[] = "통신포트 또는 케이블을 확인 하십시오!";

struct ChartSample {
    int counter = 0; // requests since the last Clear, where the window counts them
    // The request this sample answered: the counter where the window counts, else the
    // sampler's own count of its requests.
    qint64 request = 0;
    qint64 arrivedNs = 0; // when the reply was taken, on the steady clock (SteadyNowNs)
    std::array<QString, kChartSignalCount> texts;
    std::array<double, kMaxChartSeries> values{}; // one per series, read back from the texts
    // The drive's present alarm number when it was read with this sample (0: none), or -1.
    int alarm = -1;
};

// Nanoseconds on the steady clock, the time base of ChartSample::arrivedNs.
qint64 SteadyNowNs();

// Samples per second the wire carries at a baud rate: an 8-byte request and a 65-byte reply
// of 10 bits a byte each.
double ChartWireRate(int baud);

// The selections the sampler reads once per sample: item numbers 1..15, one per series.
using ChartSelections = std::array<std::atomic<int>, kMaxChartSeries>;

class ChartSampler : public LoopThread {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const ChartSample &)> append; // user-interface thread
        // User-interface thread, once a sampler that ended by itself (link failure, link
        // down) has finished and its message, if any, has been reported.
        std::function<void()> linkFailed;
    };

    // counter may be null (no sample numbers); series is how many selections are used.
    ChartSampler(DriveSession &session, const ChartSelections &selections, int series, std::atomic<int> *counter,
                 Hooks hooks, QObject *parent = nullptr);
    ~ChartSampler() override;

    // Stops the loop, waits for it, and hands over the samples still queued for the window.
    // The window calls this rather than stopAndWait(), so that no sample of this run comes
    // after its Stop or Clear.
    void finish();

    // While on, the present alarm is read beside the samples, at most every alarmEveryMs.
    void setWatchAlarm(bool on) { watchAlarm_ = on; }
    static constexpr int alarmEveryMs = 100;

    // Requests this sampler has sent.
    qint64 requestsSent() const { return requests_; }

protected:
    bool round() override;
    bool event(QEvent *event) override;

private:
    void onFinished();
    void deliverQueued();

    DriveSession &s_;
    std::atomic<bool> watchAlarm_{false};
    std::atomic<qint64> requests_{0};
    qint64 lastAlarmReadNs_ = 0;
    std::atomic<bool> linkFailure_{false}; // ended by a failed link: says so when finished
    const ChartSelections &selections_;
    int series_;
    std::atomic<int> *counter_;
    Hooks hooks_;
};

// The monitoring window's sampler: four series and a sample counter.
class TThread_Chart_Read : public ChartSampler {
    Q_OBJECT
public:
    TThread_Chart_Read(DriveSession &session, const ChartSelections &selections, std::atomic<int> &counter,
                       Hooks hooks, QObject *parent = nullptr)
        : ChartSampler(session, selections, 4, &counter, std::move(hooks), parent) {}
};

// The gain tuning chart's sampler: two series, no counter.
class TThread_Chart_Read1 : public ChartSampler {
    Q_OBJECT
public:
    TThread_Chart_Read1(DriveSession &session, const ChartSelections &selections, Hooks hooks,
                        QObject *parent = nullptr)
        : ChartSampler(session, selections, 2, nullptr, std::move(hooks), parent) {}
};

} // namespace velmora
