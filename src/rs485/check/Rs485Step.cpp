// The RS-485 step of the line check: the fuel sensors' levels and the
// extender's answer.
#include "rs485/check/CheckRegistration.h"

#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "rs485/ExtenderPoll.h"
#include "rs485/FuelSensors.h"

namespace ktx::check {
namespace {

void readRs485Keys(ProfileReader& r, StepSpec& stepSpec)
{
    r.texts("fuelSensors", stepSpec.fuelSensors);
    if (stepSpec.fuelSensors.size() > 8)
        r.fail(r.at("fuelSensors"), "at most 8 addresses");
    r.range("level", stepSpec.level, -1e9, 1e9);
    r.flag("extender", stepSpec.extender);
    if (r.ok() && stepSpec.fuelSensors.empty() && !stepSpec.extender)
        r.fail(r.at("fuelSensors"), "a list of at least one address, or \"extender\": true");
}

void rs485Step(StepRun& run, const StepSpec& stepSpec, StepRecord& step)
{
    if (!stepSpec.fuelSensors.empty()) {
        rs485::FuelAddresses addresses;
        for (size_t i = 0; i < stepSpec.fuelSensors.size() && i < addresses.size(); ++i)
            addresses[i] = stepSpec.fuelSensors[i];
        const rs485::FuelOutcome outcome = rs485::pollFuelSensors(run.context, addresses);
        for (size_t i = 0; i < stepSpec.fuelSensors.size(); ++i) {
            const std::string name = "fuel level " + stepSpec.fuelSensors[i];
            if (!outcome.readings) {
                unanswered(step, name, "counts", limitsOf(stepSpec.level));
                continue;
            }
            const int32_t level = (*outcome.readings)[i].level;
            // The tracker reports a sensor that did not answer as -1.
            if (level < 0)
                add(step, name, nullptr, "counts", limitsOf(stepSpec.level), Outcome::Fail);
            else
                judge(step, name, level, "counts", stepSpec.level);
        }
    }
    if (stepSpec.extender && !run.stopping()) {
        const rs485::ExtenderOutcome outcome = rs485::pollExtender(run.context);
        if (!outcome.opened || outcome.reply.empty())
            unanswered(step, "extender", "");
        else
            add(step, "extender", outcome.states ? "valid CRC" : "bad answer", "", {},
                outcome.states ? Outcome::Pass : Outcome::Fail);
    }
}

}  // namespace

const CheckArea& checkArea_rs485()
{
    static const CheckArea area{
        {
            {"rs485", {"fuelSensors", "level", "extender"}, readRs485Keys, rs485Step},
        },
    };
    return area;
}

}  // namespace ktx::check
