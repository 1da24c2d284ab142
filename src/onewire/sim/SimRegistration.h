#pragma once
// The 1-Wire bus in the simulated tracker: its section of the scenario.
#include "onewire/sim/OneWireScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_onewire {
    OneWireScenario onewire;
};

}  // namespace ktx::sim
