#pragma once
// Runs each step of the check with the area that registered its type, and
// the cleanup that undoes what the steps switched on.
#include "check/Profile.h"
#include "check/Record.h"
#include "check/StepTools.h"
#include "check/StoppableTime.h"
#include "link/AppContext.h"

namespace ktx::check {

class StepRunner {
public:
    StepRunner(AppContext& context, StoppableTime& time, DeviceRecord& device) : run_(context, time, device) {}

    // Fills the step's measurements (and message when something failed).
    void run(const StepPlan& stepPlan, StepRecord& step);
    // What the steps left switched on, undone area by area in the areas'
    // order (outputs off, then the modem off); the firmware has no command
    // that stops the receiver, so GNSS is started only when it was found off.
    void cleanup();

private:
    StepRun run_;
};

}  // namespace ktx::check
