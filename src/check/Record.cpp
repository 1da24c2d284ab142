#include "check/Record.h"

#include <cstdio>
#include <ctime>

namespace ktx::check {

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Pass:
        return "pass";
    case Outcome::Marginal:
        return "marginal";
    case Outcome::Fail:
        return "fail";
    case Outcome::Error:
        return "error";
    }
    return "error";
}

Outcome worse(Outcome a, Outcome b) { return static_cast<int>(a) >= static_cast<int>(b) ? a : b; }

bool nothingTested(const RunRecord& record)
{
    for (const StepRecord& step : record.steps)
        if (step.outcome != Outcome::Skipped)
            return false;
    return true;
}

const char* verdictName(const RunRecord& record)
{
    return nothingTested(record) ? "not tested" : outcomeName(record.outcome);
}

std::string isoTime(int64_t utcMs)
{
    const int64_t seconds = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
    const auto millis = static_cast<int>(utcMs - seconds * 1000);
    const std::time_t whole = static_cast<std::time_t>(seconds);
    std::tm civil{};
    gmtime_r(&whole, &civil);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", civil.tm_year + 1900, civil.tm_mon + 1,
        civil.tm_mday, civil.tm_hour, civil.tm_min, civil.tm_sec, millis);
    return text;
}

}  // namespace ktx::check
