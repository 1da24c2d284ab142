#pragma once
// The last samples of a live plot: a fixed number of series read together
// at one instant, NaN where a series had no value (the curve breaks there).
// The capacity is fixed at construction and every buffer is allocated then,
// so however long the console runs the ring's memory stays the same: the
// oldest sample makes room for the newest.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

namespace ktx {

// When a sample was taken: the monotonic clock orders and spaces samples,
// the wall clock (UTC) is what an export shows.
struct SampleTime {
    int64_t monotonicMs = 0;
    int64_t wallUtcMs = 0;
};

// Reads the clock a sample is stamped with.
using SampleClock = std::function<SampleTime()>;

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

class SampleRing {
public:
    SampleRing(size_t seriesCount, size_t capacity);

    // Values beyond seriesCount are ignored, missing ones are gaps.
    void append(SampleTime time, std::span<const double> values);
    // A sample in which no series has a value: a break in every curve.
    void appendGap(SampleTime time);
    void clear();

    size_t seriesCount() const { return seriesCount_; }
    size_t capacity() const { return times_.size(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Samples written since construction or the last clear, overwritten
    // ones included.
    uint64_t appended() const { return appended_; }

    // index 0 is the oldest sample held.
    SampleTime timeAt(size_t index) const { return times_[slot(index)]; }
    double valueAt(size_t index, size_t series) const { return values_[slot(index) * seriesCount_ + series]; }
    // Bytes the ring holds on the heap; the same from construction on.
    size_t heapBytes() const;

private:
    size_t slot(size_t index) const { return (first_ + index) % times_.size(); }
    double* nextRow(SampleTime time);

    size_t seriesCount_;
    std::vector<SampleTime> times_;
    std::vector<double> values_;  // capacity rows of seriesCount values
    size_t first_ = 0;
    size_t size_ = 0;
    uint64_t appended_ = 0;
};

}  // namespace ktx
