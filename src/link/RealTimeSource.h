#pragma once
// The console's real clock: steady-clock sleeps and readings, the system wall
// clock, and beeps on the sound device. Its waits block the calling thread:
// the device worker's, never the window's.
#include <chrono>
#include <cstdint>

#include "link/Beeper.h"
#include "link/TimeSource.h"

namespace ktx {

class RealTimeSource : public TimeSource {
public:
    // The program's start, for processClockMs, is taken as this moment.
    RealTimeSource();

    void sleepMs(uint32_t ms) override;
    void sleepUs(uint64_t us) override;
    int64_t monotonicUs() const override;
    int32_t processClockMs() const override;
    int64_t wallClockUtcMs() const override;
    // Takes durationMs whether or not a sound could be played.
    void beep(uint32_t frequencyHz, uint32_t durationMs) override;

private:
    std::chrono::steady_clock::time_point start_;
    Beeper beeper_;
};

}  // namespace ktx
