#pragma once
// Runs a profile on one tracker through the area cores, judges every
// measurement against its limits and keeps the record. Whatever happens, the
// run ends with the outputs off and the modem switched off.
#include <string>

#include "check/Profile.h"
#include "check/Record.h"
#include "check/StoppableTime.h"
#include "link/FtDriver.h"

namespace ktx::check {

// Where the run reports while it goes (the terminal, the window's dialog).
class CheckView {
public:
    virtual ~CheckView() = default;
    virtual void stepStarted(const StepPlan& step, size_t index, size_t count) = 0;
    virtual void stepFinished(const StepRecord& step) = 0;
    // The closing cleanup (outputs and modem off) runs between these two.
    virtual void cleanupStarted() {}
    virtual void cleanupFinished() {}
    // Offered during every wait, at least every StoppableTime::kSliceMs.
    virtual void tick() {}
};

struct Tracker {
    int index = 0;            // FTDI index
    std::string serial;       // USB serial string
    std::string description;  // USB description string
};

// The whole run: steps in order, then the cleanup. A stop asked for through
// the time source ends the step running as "error", skips the rest and is
// marked in the record.
RunRecord runCheck(FtDriver& driver, StoppableTime& time, const Tracker& tracker, const Profile& profile,
    CheckView& view);

// The exit code for a finished run: 0 pass or marginal, 1 a step failed or
// did not answer, 2 interrupted, 3 nothing tested (every step skipped).
int exitCodeFor(const RunRecord& record);

}  // namespace ktx::check
