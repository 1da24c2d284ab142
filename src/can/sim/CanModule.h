#pragma once
// The simulated tracker's CAN capture: "CANTEST;$" is answered with the
// fifteen frames a driving truck puts on its J1939 bus at that moment.
#include <array>
#include <cstdint>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

struct CanFrame {
    uint32_t id = 0;
    uint32_t dataA = 0;  // bytes 1..4, byte 1 lowest
    uint32_t dataB = 0;  // bytes 5..8
};

// Where the drive stands at a moment.
struct VehicleState {
    double speedKmh = 0;
    double pedalPct = 0;
    double engineRpm = 0;
    bool cruise = false;
    bool brake = false;
    bool clutch = false;
    double distanceM = 0;  // total, start value included
    double fuelUsedL = 0;  // total
    double fuelLevelPct = 0;
    double engineHours = 0;
};

class CanModule : public SimModule {
public:
    explicit CanModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    // The vehicle at model time nowMs, for tests to predict the frames.
    VehicleState vehicleAt(int64_t nowMs) const;
    // The fifteen slots of reply number `poll` (from 0) at nowMs.
    std::array<CanFrame, 15> framesAt(int64_t nowMs, uint64_t poll) const;
    uint64_t polls() const { return polls_; }

private:
    CanScenario can_;
    uint64_t seed_;
    uint64_t polls_ = 0;
};

}  // namespace ktx::sim
