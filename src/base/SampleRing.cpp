#include "base/SampleRing.h"

#include <algorithm>

namespace ktx {

SampleRing::SampleRing(size_t seriesCount, size_t capacity)
    : seriesCount_(seriesCount),
      times_(std::max<size_t>(capacity, 1)),
      values_(times_.size() * seriesCount, kNoValue)
{
}

double* SampleRing::nextRow(SampleTime time)
{
    size_t target;
    if (size_ < times_.size()) {
        target = slot(size_);
        ++size_;
    } else {
        target = first_;
        first_ = (first_ + 1) % times_.size();
    }
    ++appended_;
    times_[target] = time;
    return values_.data() + target * seriesCount_;
}

void SampleRing::append(SampleTime time, std::span<const double> values)
{
    double* row = nextRow(time);
    for (size_t series = 0; series < seriesCount_; ++series)
        row[series] = series < values.size() ? values[series] : kNoValue;
}

void SampleRing::appendGap(SampleTime time)
{
    std::fill_n(nextRow(time), seriesCount_, kNoValue);
}

void SampleRing::clear()
{
    first_ = 0;
    size_ = 0;
    appended_ = 0;
}

size_t SampleRing::heapBytes() const
{
    return times_.capacity() * sizeof(SampleTime) + values_.capacity() * sizeof(double);
}

}  // namespace ktx
