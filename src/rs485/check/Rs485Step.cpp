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

void readRs485Keys(ProfileReader& r, StepPlan& stepPlan)
{
    r.texts("fuelSensors", stepPlan.fuelSensors);
    if (stepPlan.fuelSensors.size() > 8)
        r.fail(r.at("fuelSensors"), "at most 8 addresses");
    r.range("level", stepPlan.level, -1e9, 1e9);
    r.flag("extender", stepPlan.extender);
    if (r.ok() && stepPlan.fuelSensors.empty() && !stepPlan.extender)
        r.fail(r.at("fuelSensors"), "a list of at least one address, or \"extender\": true");
}

void rs485Step(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    if (!stepPlan.fuelSensors.empty()) {
        rs485::FuelAddresses addresses;
        for (size_t i = 0; i < stepPlan.fuelSensors.size() && i < addresses.size(); ++i)
            addresses[i] = stepPlan.fuelSensors[i];
        const rs485::FuelOutcome outcome = rs485::pollFuelSensors(run.context, addresses);
        for (size_t i = 0; i < stepPlan.fuelSensors.size(); ++i) {
            const std::string name = "fuel level " + stepPlan.fuelSensors[i];
            if (!outcome.readings) {
                unanswered(step, name, "counts", limitsOf(stepPlan.level));
                continue;
            }
            const int32_t level = (*outcome.readings)[i].level;
            // The tracker reports a sensor that did not answer as -1.
            if (level < 0)
                add(step, name, nullptr, "counts", limitsOf(stepPlan.level), Outcome::Fail);
            else
                judge(step, name, level, "counts", stepPlan.level);
        }
    }
    if (stepPlan.extender && !run.stopping()) {
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
            {"rs485", "RS-485", {"fuelSensors", "level", "extender"}, readRs485Keys, rs485Step},
        },
    };
    return area;
}

}  // namespace ktx::check
