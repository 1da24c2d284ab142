#pragma once
// What a step of the check works with: the tracker's context, the stoppable
// time, the device's record, and the ways a measurement enters the record.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/CheckArea.h"
#include "check/Record.h"
#include "check/StoppableTime.h"
#include "link/AppContext.h"

namespace ktx::check {

// Between two tries of something the tracker has not got yet (registration, a fix).
constexpr int64_t kRetryMs = 1000;

class StepRun {
public:
    using Cleanup = void (*)(StepRun& run);

    StepRun(AppContext& context, StoppableTime& time, DeviceRecord& device)
        : context(context), time(time), device(device)
    {
    }

    // Waits ms unless a stop was asked for; false once stopping.
    bool pause(int64_t ms);
    bool stopping() const { return time.stopping(); }

    // The area's cleanup must run when the check ends.
    void owe(Cleanup cleanup);
    // True, once, when cleanup was owed.
    bool settle(Cleanup cleanup);

    AppContext& context;
    StoppableTime& time;
    DeviceRecord& device;

private:
    std::vector<Cleanup> owed_;
};

inline Limits limitsOf(const Range& range) { return {range.low, range.high}; }

Measurement& add(StepRecord& step, std::string name, nlohmann::json value, std::string units, Limits limits,
    Outcome outcome);
// Whole numbers stay whole in the record (57, not 57.0).
nlohmann::json numberJson(double value);
// A number against its limits.
void judge(StepRecord& step, std::string name, double value, std::string units, const Range& range);
// A value the tracker did not give.
void unanswered(StepRecord& step, std::string name, std::string units, Limits limits = {});
void check(StepRecord& step, std::string name, bool ok);
void note(StepRecord& step, const std::string& text);
// The decimal value nearest to a multiple of step, so the record shows
// 0.104 rather than 0.10400000000000001.
double roundTo(double value, double step);

}  // namespace ktx::check
