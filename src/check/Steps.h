#pragma once
// Each step of the check on the area cores, and the cleanup that undoes what
// the steps switched on.
#include <cstdint>

#include "link/AppContext.h"
#include "check/Profile.h"
#include "check/Record.h"
#include "check/StoppableTime.h"

namespace ktx::check {

class StepRunner {
public:
    StepRunner(AppContext& context, StoppableTime& time, DeviceRecord& device)
        : context_(context), time_(time), device_(device)
    {
    }

    // Fills the step's measurements (and message when something failed).
    void run(const StepSpec& stepSpec, StepRecord& step);
    // Outputs off and the modem off when a step switched them on; the
    // firmware has no command that stops the receiver, so GNSS is started
    // only when it was found off.
    void cleanup();

    bool outputsTouched() const { return outputsTouched_; }
    bool modemPowered() const { return modemPowered_; }

private:
    void identification(const StepSpec& stepSpec, StepRecord& step);
    void supply(const StepSpec& stepSpec, StepRecord& step);
    void outputs(const StepSpec& stepSpec, StepRecord& step);
    void counters(const StepSpec& stepSpec, StepRecord& step);
    void gsm(const StepSpec& stepSpec, StepRecord& step);
    void gnss(const StepSpec& stepSpec, StepRecord& step);
    void clock(const StepSpec& stepSpec, StepRecord& step);
    void onewire(const StepSpec& stepSpec, StepRecord& step);
    void rs485(const StepSpec& stepSpec, StepRecord& step);
    void can(const StepSpec& stepSpec, StepRecord& step);
    void accel(const StepSpec& stepSpec, StepRecord& step);

    // Waits ms unless a stop was asked for; false once stopping.
    bool pause(int64_t ms);
    bool stopping() const;

    AppContext& context_;
    StoppableTime& time_;
    DeviceRecord& device_;
    bool outputsTouched_ = false;
    bool modemPowered_ = false;
};

// Great-circle distance in metres between two points in degrees.
double distanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace ktx::check
