// The 1-Wire step of the line check: each listed sensor's temperature.
#include "onewire/check/CheckRegistration.h"

#include <algorithm>

#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "onewire/TemperatureTest.h"

namespace ktx::check {
namespace {

void readOneWireKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.texts("sensors", stepPlan.sensors);
    // Without a number, every sensor listed must answer.
    stepPlan.minSensors = static_cast<int>(std::min<size_t>(stepPlan.sensors.size(), 64));
    r.integer("minSensors", stepPlan.minSensors, 0, static_cast<int>(std::min<size_t>(stepPlan.sensors.size(), 64)));
    r.range("temperature", stepPlan.temperature, -100, 200);
    if (r.ok() && stepPlan.sensors.empty())
        r.fail(r.at("sensors"), "a list of at least one sensor address");
}

void oneWireStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    onewire::TemperatureTest test(run.context);
    int found = 0;
    for (const std::string& address : stepPlan.sensors) {
        const onewire::TickResult result = test.poll(address);
        const std::string name = "temperature " + address;
        if (result.outcome == onewire::TickOutcome::OpenFailed || result.outcome == onewire::TickOutcome::Unreadable) {
            unanswered(step, name, "degC", limitsOf(stepPlan.temperature));
            if (result.outcome == onewire::TickOutcome::OpenFailed)
                break;
            continue;
        }
        if (result.outcome != onewire::TickOutcome::Reading) {
            add(step, name, nullptr, "degC", limitsOf(stepPlan.temperature), Outcome::Fail);
            continue;
        }
        ++found;
        judge(step, name, roundTo(result.value, 0.0001), "degC", stepPlan.temperature);
        if (run.stopping())
            return;
    }
    add(step, "sensors found", found, "", {double(stepPlan.minSensors), std::nullopt},
        found >= stepPlan.minSensors ? Outcome::Pass : Outcome::Fail);
}

}  // namespace

const CheckArea& checkArea_onewire()
{
    static const CheckArea area{
        {
            {"onewire", "1-Wire", {"sensors", "minSensors", "temperature"}, readOneWireKeys, oneWireStep},
        },
    };
    return area;
}

}  // namespace ktx::check
