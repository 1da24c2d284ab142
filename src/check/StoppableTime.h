#pragma once
// The time source of a check that can be stopped: waits pass to the time
// source underneath in short slices and end early once a stop was asked for
// (a signal handler sets the flag), so the run reaches its cleanup promptly.
// Each slice also gives the live display a turn.
#include <atomic>
#include <cstdint>
#include <functional>

#include "link/TimeSource.h"

namespace ktx::check {

class StoppableTime : public TimeSource {
public:
    static constexpr uint32_t kSliceMs = 50;

    StoppableTime(TimeSource& inner, const std::atomic<bool>& stop) : inner_(inner), stop_(stop) {}

    // Cleanup must be able to wait for the tracker's answers again.
    void honourStop(bool honour) { honour_ = honour; }
    bool stopping() const { return honour_ && stop_.load(); }
    void setTick(std::function<void()> tick) { tick_ = std::move(tick); }

    void sleepMs(uint32_t ms) override;
    void sleepUs(uint64_t us) override;
    int64_t monotonicUs() const override { return inner_.monotonicUs(); }
    int32_t processClockMs() const override { return inner_.processClockMs(); }
    int64_t wallClockUtcMs() const override { return inner_.wallClockUtcMs(); }
    void beep(uint32_t frequencyHz, uint32_t durationMs) override;

private:
    TimeSource& inner_;
    const std::atomic<bool>& stop_;
    bool honour_ = true;
    std::function<void()> tick_;
};

}  // namespace ktx::check
