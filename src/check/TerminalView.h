#pragma once
// How korvantix-check shows its steps: on a terminal a live line per step
// (a turning indicator and the seconds so far, then the verdict and time);
// otherwise one plain line per finished step.
#include <cstdint>
#include <cstdio>

#include "check/CheckRun.h"
#include "link/TimeSource.h"

namespace ktx::check {

class TerminalView : public CheckView {
public:
    TerminalView(std::FILE* out, bool live, const TimeSource& time) : out_(out), live_(live), time_(time) {}

    void stepStarted(const StepPlan& step, size_t index, size_t count) override;
    void stepFinished(const StepRecord& step) override;
    void cleanupStarted() override;
    void cleanupFinished() override;
    void tick() override;

private:
    void drawLive();
    // A live line is cleared before anything else takes its place.
    void clearLive();

    std::FILE* out_;
    bool live_;
    const TimeSource& time_;
    std::string label_;
    int64_t startUs_ = 0;
    int64_t lastDrawUs_ = 0;
    unsigned turn_ = 0;
    bool running_ = false;  // a step or the cleanup turns on the live line
};

}  // namespace ktx::check
