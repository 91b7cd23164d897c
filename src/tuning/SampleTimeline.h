#pragma once

// When each plotted sample arrived and which request it answered. Point i of a live chart's
// series is sample i of its timeline: the windows append to both together.

#include <QtGlobal>

#include <memory>
#include <vector>

namespace velmora {

class SampleTimeline {
public:
    // Adds point count(): its arrival in seconds since the timeline's origin (never earlier
    // than the point before) and the number of the request it answered (above the point
    // before's). Returns the point's index.
    qint64 append(double seconds, qint64 request);
    // Removes every point and gives the memory back.
    void clear();

    qint64 count() const { return count_; }
    double time(qint64 i) const { return blocks_[size_t(i >> BlockShift)][size_t(i & BlockMask)]; }
    // The request point i answered: i + 1 while no request has gone without a plotted sample.
    qint64 request(qint64 i) const;
    // Requests that brought no point between point 0's request and the newest point's
    // (plus any before point 0 beyond request 1).
    qint64 missedRequests() const { return count_ == 0 ? 0 : lastRequest_ - count_; }

    // The time at a fractional point index, interpolated between points; before the first and
    // after the last it goes on at the mean interval (1 s a point while there are fewer than two).
    double timeAt(double index) const;
    // The fractional point index at which a time falls: the inverse of timeAt().
    double indexAt(double seconds) const;
    // Mean seconds between points over the whole timeline; 0 with fewer than two points.
    double meanInterval() const;

    qint64 memoryBytes() const;

private:
    static constexpr int BlockShift = 10;
    static constexpr qint64 BlockSize = qint64(1) << BlockShift;
    static constexpr qint64 BlockMask = BlockSize - 1;

    // From point `first` on, request(i) = i + 1 + missed, until the next gap.
    struct Gap {
        qint64 first;
        qint64 missed;
    };

    qint64 count_ = 0;
    qint64 lastRequest_ = 0;
    std::vector<std::unique_ptr<double[]>> blocks_;
    std::vector<Gap> gaps_;
};

} // namespace velmora
