#pragma once
// The console's real clock: steady-clock sleeps and readings, the system wall
// clock, and beeps on the sound device.
#include <chrono>
#include <cstdint>
#include <functional>

#include "link/Beeper.h"
#include "link/TimeSource.h"

namespace ktx {

class RealTimeSource : public TimeSource {
public:
    // Offered a turn at least every kWaitSliceMs of every wait, and after each
    // wait however short; it decides itself whether to do anything.
    using WaitPump = std::function<void()>;
    static constexpr uint32_t kWaitSliceMs = 5;

    // The program's start, for processClockMs, is taken as this moment.
    RealTimeSource();

    void sleepMs(uint32_t ms) override;
    void sleepUs(uint64_t us) override;
    int64_t monotonicUs() const override;
    int32_t processClockMs() const override;
    int64_t wallClockUtcMs() const override;
    // Takes durationMs whether or not a sound could be played.
    void beep(uint32_t frequencyHz, uint32_t durationMs) override;

    // The window's event pump; empty: waits are plain sleeps.
    void setWaitPump(WaitPump pump);

private:
    void waitFor(std::chrono::steady_clock::duration length);
    void waitUntil(std::chrono::steady_clock::time_point end);

    std::chrono::steady_clock::time_point start_;
    Beeper beeper_;
    WaitPump pump_;
};

}  // namespace ktx
