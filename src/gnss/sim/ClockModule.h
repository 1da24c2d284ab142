#pragma once
// The simulated tracker's real-time clock: runs from the PC's UTC time (plus
// the scenario's offset), answers "GTIMER$" and is set by "TIMER=...;".
#include <cstdint>
#include <string>

#include "gnss/ClockRegisters.h"
#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class ClockModule : public SimModule {
public:
    explicit ClockModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
    bool endsAtSemicolon(std::string_view commandStart) const override;

    // UTC at model time 0, from the PC's clock.
    void setUtcAtStartMs(int64_t utcMs) override { utcAtStartMs_ = utcMs; }
    // The clock's time at model time nowMs, in UTC milliseconds.
    int64_t clockMs(int64_t nowMs) const { return utcAtStartMs_ + nowMs + offsetMs_; }

private:
    // Registers that name a real time, or nothing (the clock then stays as it was).
    static bool setTime(const gnss::ClockRegisters& r, int64_t& utcMs);

    int64_t utcAtStartMs_ = 0;
    int64_t offsetMs_;
};

}  // namespace ktx::sim
