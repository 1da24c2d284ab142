#include "link/RealTimeSource.h"

#include <thread>

namespace ktx {

using std::chrono::steady_clock;

RealTimeSource::RealTimeSource() : start_(steady_clock::now()) {}

void RealTimeSource::sleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealTimeSource::sleepUs(uint64_t us)
{
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

int64_t RealTimeSource::monotonicUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(steady_clock::now().time_since_epoch()).count();
}

int32_t RealTimeSource::processClockMs() const
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start_).count();
    // Wraps after 24 days, like the 32-bit clock it stands for.
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

int64_t RealTimeSource::wallClockUtcMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void RealTimeSource::beep(uint32_t frequencyHz, uint32_t durationMs)
{
    const auto end = steady_clock::now() + std::chrono::milliseconds(durationMs);
    beeper_.play(frequencyHz, durationMs);
    // No sound device, or the tone ended early: the pause still belongs to
    // the caller's timing.
    if (steady_clock::now() < end)
        std::this_thread::sleep_until(end);
}

}  // namespace ktx
