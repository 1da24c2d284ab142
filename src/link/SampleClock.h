#pragma once
// Live plots stamp their samples with the console's one time source, so a
// test in virtual time sees virtual times in the plot and in its CSV.
#include "base/SampleRing.h"
#include "link/TimeSource.h"

namespace ktx {

inline SampleClock sampleClockOf(const TimeSource& time)
{
    return [&time] { return SampleTime{time.monotonicMs(), time.wallClockUtcMs()}; };
}

}  // namespace ktx
