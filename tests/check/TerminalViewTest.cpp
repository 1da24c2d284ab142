#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "check/TerminalView.h"
#include "link/VirtualTimeSource.h"

namespace ktx::check::test {
namespace {

// What the view wrote, with one step that fails one measurement.
std::string shown(bool live)
{
    char* bytes = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&bytes, &length);
    VirtualTimeSource clock;
    TerminalView view(out, live, clock);
    StepPlan stepPlan;
    stepPlan.name = "supply";
    view.stepStarted(stepPlan, 1, 11);
    for (int i = 0; i < 4; ++i) {
        clock.advanceMs(150);
        view.tick();
    }
    StepRecord step;
    step.outcome = Outcome::Fail;
    step.durationMs = 600;
    step.measurements.push_back({"battery", 2.5, "V", {3.0, 20.0}, Outcome::Fail});
    step.measurements.push_back({"supply", 12.8, "V", {9.0, 32.0}, Outcome::Pass});
    view.stepFinished(step);
    std::fclose(out);
    std::string text(bytes, length);
    std::free(bytes);
    return text;
}

TEST(CheckTerminalView, WithoutATerminalOnePlainLinePerStep)
{
    EXPECT_EQ(shown(false), "[ 2/11] supply           fail       0.600 s\n        battery: 2.5\n");
}

TEST(CheckTerminalView, OnATerminalTheStepTurnsWhileItRunsThenShowsItsVerdict)
{
    const std::string text = shown(true);
    EXPECT_NE(text.find("\r[ 2/11] supply           |    0.0 s "), std::string::npos) << text;
    EXPECT_NE(text.find("\r[ 2/11] supply           /    0.1 s "), std::string::npos) << text;
    EXPECT_NE(text.find("\r[ 2/11] supply           -    0.3 s "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\033[K[ 2/11] supply           fail       0.600 s\n        battery: 2.5\n"), std::string::npos)
        << text;
}

// After the last step the cleanup turns on its own line, which is cleared
// before the verdict comes: no step seems to run on.
TEST(CheckTerminalView, TheCleanupHasItsOwnLineAndLeavesItClear)
{
    char* bytes = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&bytes, &length);
    VirtualTimeSource clock;
    TerminalView view(out, true, clock);
    StepPlan stepPlan;
    stepPlan.name = "accel";
    view.stepStarted(stepPlan, 10, 11);
    StepRecord step;
    step.outcome = Outcome::Skipped;
    view.stepFinished(step);
    std::fflush(out);
    const size_t afterStep = length;
    view.tick();
    clock.advanceMs(500);
    view.tick();  // between the step and the cleanup: nothing redrawn
    std::fflush(out);
    EXPECT_EQ(length, afterStep);
    view.cleanupStarted();
    for (int i = 0; i < 3; ++i) {
        clock.advanceMs(150);
        view.tick();
    }
    view.cleanupFinished();
    std::fclose(out);
    const std::string text(bytes, length);
    std::free(bytes);
    const std::string after = text.substr(afterStep);
    EXPECT_EQ(after.find("accel"), std::string::npos) << after;
    EXPECT_NE(after.find("\r        cleanup: outputs and modem off "), std::string::npos) << after;
    EXPECT_TRUE(after.ends_with("\r\033[K")) << after;
}

}  // namespace
}  // namespace ktx::check::test
