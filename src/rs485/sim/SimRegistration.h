#pragma once
// The RS-485 bus in the simulated tracker: its section of the scenario.
#include "rs485/sim/Rs485Scenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_rs485 {
    Rs485Scenario rs485;
};

}  // namespace ktx::sim
