#pragma once
// The accelerometer in the simulated tracker: its section of the scenario.
#include "accel/sim/AccelScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_accel {
    AccelScenario accel;
};

}  // namespace ktx::sim
