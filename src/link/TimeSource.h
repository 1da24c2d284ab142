#pragma once
// Every sleep, clock reading and beep of the console goes through one time
// source, so that tests can run long procedures in virtual time.
#include <cstdint>

namespace ktx {

class TimeSource {
public:
    virtual ~TimeSource() = default;

    virtual void sleepMs(uint32_t ms) = 0;
    // Sub-millisecond waits of the simulated device; the default rounds up.
    virtual void sleepUs(uint64_t us) { sleepMs(static_cast<uint32_t>((us + 999) / 1000)); }
    // Monotonic microseconds from an arbitrary origin.
    virtual int64_t monotonicUs() const = 0;
    int64_t monotonicMs() const { return monotonicUs() / 1000; }
    // Milliseconds since the program started (what Windows' clock() gives;
    // Linux clock() is CPU time and must not be used for this).
    virtual int32_t processClockMs() const = 0;
    // Wall time, milliseconds since the Unix epoch (UTC). Local time is this
    // value shown in the user's time zone.
    virtual int64_t wallClockUtcMs() const = 0;
    // A tone of the given frequency; returns after durationMs in any case.
    virtual void beep(uint32_t frequencyHz, uint32_t durationMs) = 0;
};

}  // namespace ktx
