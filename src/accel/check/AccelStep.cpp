// The accelerometer step of the line check: the vector's magnitude in g.
#include "accel/check/CheckRegistration.h"

#include "accel/AccelPoll.h"
#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"

namespace ktx::check {
namespace {

void readAccelKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.number("countsPerG", stepPlan.countsPerG, 1, 1e6);
    r.range("magnitude", stepPlan.magnitude, 0, 100);
}

void accelStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    const accel::AccelPollOutcome outcome = accel::pollAccelerometer(run.context);
    if (!outcome.reading) {
        note(step, outcome.opened ? "no accelerometer reply" : "the channel did not open");
        return unanswered(step, "magnitude", "g", limitsOf(stepPlan.magnitude));
    }
    const double magnitude = accel::magnitudeOf(outcome.reading->squaredLength) / stepPlan.countsPerG;
    judge(step, "magnitude", roundTo(magnitude, 0.001), "g", stepPlan.magnitude);
}

}  // namespace

const CheckArea& checkArea_accel()
{
    static const CheckArea area{
        {
            {"accel", "Акселерометр", {"countsPerG", "magnitude"}, readAccelKeys, accelStep},
        },
    };
    return area;
}

}  // namespace ktx::check
