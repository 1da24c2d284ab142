#include "check/StoppableTime.h"

#include <algorithm>

namespace ktx::check {

void StoppableTime::sleepMs(uint32_t ms)
{
    while (ms > 0 && !stopping()) {
        const uint32_t slice = std::min(ms, kSliceMs);
        inner_.sleepMs(slice);
        ms -= slice;
        if (tick_)
            tick_();
    }
}

void StoppableTime::sleepUs(uint64_t us)
{
    if (us >= 1000ull * kSliceMs) {
        sleepMs(static_cast<uint32_t>(std::min<uint64_t>(us / 1000, UINT32_MAX)));
        return;
    }
    if (!stopping())
        inner_.sleepUs(us);
}

// The line has no use for the tones: a beep only takes its time.
void StoppableTime::beep(uint32_t, uint32_t durationMs) { sleepMs(durationMs); }

}  // namespace ktx::check
