// The 1-Wire step of the line check: each listed sensor's temperature.
#include "onewire/check/CheckRegistration.h"

#include <algorithm>

#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "onewire/TemperatureTest.h"

namespace ktx::check {
namespace {

void readOneWireKeys(ProfileReader& r, StepSpec& stepSpec)
{
    r.texts("sensors", stepSpec.sensors);
    // Without a number, every sensor listed must answer.
    stepSpec.minSensors = static_cast<int>(std::min<size_t>(stepSpec.sensors.size(), 64));
    r.integer("minSensors", stepSpec.minSensors, 0, static_cast<int>(std::min<size_t>(stepSpec.sensors.size(), 64)));
    r.range("temperature", stepSpec.temperature, -100, 200);
    if (r.ok() && stepSpec.sensors.empty())
        r.fail(r.at("sensors"), "a list of at least one sensor address");
}

void oneWireStep(StepRun& run, const StepSpec& stepSpec, StepRecord& step)
{
    onewire::TemperatureTest test(run.context);
    int found = 0;
    for (const std::string& address : stepSpec.sensors) {
        const onewire::TickResult result = test.poll(address);
        const std::string name = "temperature " + address;
        if (result.outcome == onewire::TickOutcome::OpenFailed || result.outcome == onewire::TickOutcome::Unreadable) {
            unanswered(step, name, "degC", limitsOf(stepSpec.temperature));
            if (result.outcome == onewire::TickOutcome::OpenFailed)
                break;
            continue;
        }
        if (result.outcome != onewire::TickOutcome::Reading) {
            add(step, name, nullptr, "degC", limitsOf(stepSpec.temperature), Outcome::Fail);
            continue;
        }
        ++found;
        judge(step, name, roundTo(result.value, 0.0001), "degC", stepSpec.temperature);
        if (run.stopping())
            return;
    }
    add(step, "sensors found", found, "", {double(stepSpec.minSensors), std::nullopt},
        found >= stepSpec.minSensors ? Outcome::Pass : Outcome::Fail);
}

}  // namespace

const CheckArea& checkArea_onewire()
{
    static const CheckArea area{
        {
            {"onewire", {"sensors", "minSensors", "temperature"}, readOneWireKeys, oneWireStep},
        },
    };
    return area;
}

}  // namespace ktx::check
