#include "check/TerminalView.h"

#include "base/CNumbers.h"

namespace ktx::check {
namespace {

constexpr int64_t kRedrawUs = 100000;
constexpr const char kTurns[] = {'|', '/', '-', '\\'};
// Erases from the cursor to the end of the line.
constexpr const char kClearToEnd[] = "\033[K";

}  // namespace

void TerminalView::stepStarted(const StepPlan& step, size_t index, size_t count)
{
    char label[160];
    std::snprintf(label, sizeof label, "[%2zu/%zu] %-16s", index + 1, count, step.name.c_str());
    label_ = label;
    startUs_ = time_.monotonicUs();
    running_ = true;
    if (live_)
        drawLive();
}

void TerminalView::clearLive()
{
    if (live_)
        std::fprintf(out_, "\r%s", kClearToEnd);
}

void TerminalView::cleanupStarted()
{
    label_ = "        cleanup: outputs and modem off";
    startUs_ = time_.monotonicUs();
    running_ = true;
    if (live_)
        drawLive();
}

void TerminalView::cleanupFinished()
{
    running_ = false;
    clearLive();
    std::fflush(out_);
}

void TerminalView::drawLive()
{
    lastDrawUs_ = time_.monotonicUs();
    const CNumbersScope pointDecimals;
    std::fprintf(out_, "\r%s %c %6.1f s ", label_.c_str(), kTurns[turn_++ % 4], (lastDrawUs_ - startUs_) / 1e6);
    std::fflush(out_);
}

void TerminalView::tick()
{
    if (live_ && running_ && time_.monotonicUs() - lastDrawUs_ >= kRedrawUs)
        drawLive();
}

void TerminalView::stepFinished(const StepRecord& step)
{
    const CNumbersScope pointDecimals;
    running_ = false;
    clearLive();
    std::fprintf(out_, "%s %-8s %7.3f s", label_.c_str(), outcomeName(step.outcome),
        step.durationMs / 1000.0);
    if (!step.message.empty())
        std::fprintf(out_, "  (%s)", step.message.c_str());
    for (const Measurement& m : step.measurements)
        if (m.outcome == Outcome::Fail || m.outcome == Outcome::Error)
            std::fprintf(out_, "\n        %s: %s", m.name.c_str(), m.value.is_null() ? "no value" : m.value.dump().c_str());
    std::fprintf(out_, "\n");
    std::fflush(out_);
}

}  // namespace ktx::check
