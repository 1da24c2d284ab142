#pragma once
// The simulated tracker's accelerometer: "GACCELERATE$" answers the three
// axes of gravity on a slowly rocking device, with noise, and the squared
// length of that vector as the firmware computes it.
#include <array>
#include <cstdint>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class AccelModule : public SimModule {
public:
    explicit AccelModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    // X (front), Y (right), Z (down) at model time nowMs; lying flat reads
    // {0, 0, gravity}.
    std::array<int32_t, 3> axesAt(int64_t nowMs) const;

private:
    AccelScenario values_;
    uint64_t seed_;
};

}  // namespace ktx::sim
