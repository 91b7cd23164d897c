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
    std::array<QString, kChartSignalCount> texts;
    std::array<double, kMaxChartSeries> values{}; // one per series, read back from the texts
};

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

protected:
    bool round() override;

private:
    void onFinished();

    DriveSession &s_;
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
