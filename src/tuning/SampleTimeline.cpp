#include "tuning/SampleTimeline.h"

#include <algorithm>
#include <cmath>

namespace velmora {

qint64 SampleTimeline::append(double seconds, qint64 request)
{
    if (count_ > 0)
        seconds = std::max(seconds, time(count_ - 1));
    request = std::max(request, lastRequest_ + 1);
    if ((count_ & BlockMask) == 0)
        blocks_.push_back(std::make_unique<double[]>(size_t(BlockSize)));
    blocks_.back()[size_t(count_ & BlockMask)] = seconds;
    const qint64 missed = request - count_ - 1;
    if (missed != (gaps_.empty() ? 0 : gaps_.back().missed))
        gaps_.push_back({count_, missed});
    lastRequest_ = request;
    return count_++;
}

void SampleTimeline::clear()
{
    count_ = 0;
    lastRequest_ = 0;
    blocks_.clear();
    blocks_.shrink_to_fit();
    gaps_.clear();
    gaps_.shrink_to_fit();
}

qint64 SampleTimeline::request(qint64 i) const
{
    const auto after = std::upper_bound(gaps_.begin(), gaps_.end(), i,
                                        [](qint64 x, const Gap &gap) { return x < gap.first; });
    return i + 1 + (after == gaps_.begin() ? 0 : std::prev(after)->missed);
}

double SampleTimeline::meanInterval() const
{
    return count_ < 2 ? 0 : (time(count_ - 1) - time(0)) / double(count_ - 1);
}

double SampleTimeline::timeAt(double index) const
{
    if (count_ == 0)
        return index;
    const double step = count_ < 2 ? 1.0 : std::max(meanInterval(), 1e-9);
    if (index <= 0)
        return time(0) + index * step;
    const double last = double(count_ - 1);
    if (index >= last)
        return time(count_ - 1) + (index - last) * step;
    const qint64 i = qint64(std::floor(index));
    const double f = index - double(i);
    return time(i) + f * (time(i + 1) - time(i));
}

double SampleTimeline::indexAt(double seconds) const
{
    if (count_ == 0)
        return seconds;
    const double step = count_ < 2 ? 1.0 : std::max(meanInterval(), 1e-9);
    if (seconds <= time(0))
        return (seconds - time(0)) / step;
    if (seconds >= time(count_ - 1))
        return double(count_ - 1) + (seconds - time(count_ - 1)) / step;
    // The last point at or before `seconds`, by bisection over the stored times.
    qint64 lo = 0, hi = count_ - 1;
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        (time(mid) <= seconds ? lo : hi) = mid;
    }
    const double span = time(hi) - time(lo);
    return double(lo) + (span > 0 ? (seconds - time(lo)) / span : 0.0);
}

qint64 SampleTimeline::memoryBytes() const
{
    return qint64(blocks_.size()) * BlockSize * qint64(sizeof(double))
           + qint64(blocks_.capacity() * sizeof(blocks_[0])) + qint64(gaps_.capacity() * sizeof(Gap));
}

} // namespace velmora
