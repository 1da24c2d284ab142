#pragma once
// Time source for tests and benchmarks: sleeping advances the clock at once.
#include <cstdint>
#include <vector>

#include "link/TimeSource.h"

namespace ktx {

struct Beep {
    uint32_t frequencyHz;
    uint32_t durationMs;
    int64_t atUs;
};

class VirtualTimeSource : public TimeSource {
public:
    // The wall clock starts at 2026-12-09 12:00:00 UTC unless told otherwise.
    explicit VirtualTimeSource(int64_t wallStartUtcMs = 1796817600000LL) : wallStartUtcMs_(wallStartUtcMs) {}

    void sleepMs(uint32_t ms) override { advanceUs(int64_t(ms) * 1000); sleptMs_ += ms; }
    void sleepUs(uint64_t us) override { advanceUs(int64_t(us)); }
    int64_t monotonicUs() const override { return nowUs_; }
    int32_t processClockMs() const override { return static_cast<int32_t>(nowUs_ / 1000); }
    int64_t wallClockUtcMs() const override { return wallStartUtcMs_ + nowUs_ / 1000; }
    void beep(uint32_t frequencyHz, uint32_t durationMs) override
    {
        beeps_.push_back({frequencyHz, durationMs, nowUs_});
        advanceUs(int64_t(durationMs) * 1000);
    }

    void advanceUs(int64_t us) { nowUs_ += us; }
    void advanceMs(int64_t ms) { nowUs_ += ms * 1000; }
    const std::vector<Beep>& beeps() const { return beeps_; }
    // Total of sleepMs calls, beeps excluded.
    uint64_t sleptMs() const { return sleptMs_; }

private:
    int64_t wallStartUtcMs_;
    int64_t nowUs_ = 0;
    uint64_t sleptMs_ = 0;
    std::vector<Beep> beeps_;
};

}  // namespace ktx
