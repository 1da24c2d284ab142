#include "check/StepTools.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/CNumbers.h"

namespace ktx::check {

bool StepRun::pause(int64_t ms)
{
    if (ms > 0)
        time.sleepMs(static_cast<uint32_t>(ms));
    return !stopping();
}

void StepRun::owe(Cleanup cleanup)
{
    if (std::find(owed_.begin(), owed_.end(), cleanup) == owed_.end())
        owed_.push_back(cleanup);
}

bool StepRun::settle(Cleanup cleanup)
{
    const auto it = std::find(owed_.begin(), owed_.end(), cleanup);
    if (it == owed_.end())
        return false;
    owed_.erase(it);
    return true;
}

Measurement& add(StepRecord& step, std::string name, nlohmann::json value, std::string units, Limits limits,
    Outcome outcome)
{
    step.measurements.push_back({std::move(name), std::move(value), std::move(units), limits, outcome});
    return step.measurements.back();
}

nlohmann::json numberJson(double value)
{
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        return static_cast<int64_t>(value);
    return value;
}

void judge(StepRecord& step, std::string name, double value, std::string units, const Range& range)
{
    const bool within = value >= range.low && value <= range.high;
    add(step, std::move(name), numberJson(value), std::move(units), limitsOf(range), within ? Outcome::Pass : Outcome::Fail);
}

void unanswered(StepRecord& step, std::string name, std::string units, Limits limits)
{
    add(step, std::move(name), nullptr, std::move(units), limits, Outcome::Error);
}

void check(StepRecord& step, std::string name, bool ok)
{
    add(step, std::move(name), ok, "", {}, ok ? Outcome::Pass : Outcome::Fail);
}

void note(StepRecord& step, const std::string& text)
{
    if (!step.message.empty())
        step.message += "; ";
    step.message += text;
}

double roundTo(double value, double step)
{
    const CNumbersScope pointDecimals;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::max(0, static_cast<int>(std::ceil(-std::log10(step)))),
        std::round(value / step) * step);
    return std::strtod(text, nullptr);
}

}  // namespace ktx::check
