// The CAN step of the line check: frames on the bus and the vehicle values
// asked for.
#include "can/check/CheckRegistration.h"

#include "can/CanMonitor.h"
#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"

namespace ktx::check {
namespace {

constexpr int64_t kCanPollMs = 500;
const char* const kCanValues[] = {"speed", "engineSpeed"};

void readCanKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.number("frameS", stepPlan.frameS, 0, kLongestWaitS);
    r.texts("values", stepPlan.values);
    for (size_t i = 0; i < stepPlan.values.size() && r.ok(); ++i)
        if (stepPlan.values[i] != kCanValues[0] && stepPlan.values[i] != kCanValues[1])
            r.fail(r.at("values") + "[" + std::to_string(i) + "]", "\"speed\" or \"engineSpeed\"");
}

void canStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    can::CanMonitor monitor(run.context);
    const int64_t startMs = run.time.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepPlan.frameS * 1000);
    std::optional<double> framesAfterS;
    std::optional<std::string> speed, engineSpeed;
    auto wanted = [&](const char* value) {
        for (const std::string& v : stepPlan.values)
            if (v == value)
                return true;
        return false;
    };
    for (;;) {
        const can::CanPollOutcome outcome = monitor.poll(".");
        if (outcome.view) {
            bool any = !outcome.view->canRows.empty();
            for (bool lamp : outcome.view->lampsPresent)
                any = any || lamp;
            if (any && !framesAfterS)
                framesAfterS = (run.time.monotonicMs() - startMs) / 1000.0;
            if (const auto& text = outcome.view->panels[can::kSpeed]; text && *text != "-")
                speed = *text;
            if (const auto& text = outcome.view->panels[can::kEngineSpeed]; text && *text != "-")
                engineSpeed = *text;
        }
        const bool done = framesAfterS && (!wanted("speed") || speed) && (!wanted("engineSpeed") || engineSpeed);
        if (done || run.time.monotonicMs() - startMs >= limitMs || !run.pause(kCanPollMs))
            break;
    }
    if (framesAfterS)
        judge(step, "first frames", roundTo(*framesAfterS, 0.001), "s", {0, stepPlan.frameS});
    else
        add(step, "first frames", nullptr, "s", {0.0, stepPlan.frameS}, Outcome::Fail);
    const std::pair<const char*, const std::optional<std::string>&> values[] = {
        {"speed", speed}, {"engineSpeed", engineSpeed}};
    for (const auto& [name, value] : values) {
        if (!wanted(name))
            continue;
        add(step, name, value ? nlohmann::json(*value) : nlohmann::json(nullptr), name == std::string("speed") ? "km/h" : "rpm",
            {}, value ? Outcome::Pass : Outcome::Fail);
    }
}

}  // namespace

const CheckArea& checkArea_can()
{
    static const CheckArea area{
        {
            {"can", "CAN", {"frameS", "values"}, readCanKeys, canStep},
        },
    };
    return area;
}

}  // namespace ktx::check
