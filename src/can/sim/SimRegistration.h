#pragma once
// The CAN bus in the simulated tracker: its section of the scenario.
#include "can/sim/CanScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_can {
    CanScenario can;
};

}  // namespace ktx::sim
