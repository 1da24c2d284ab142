#pragma once
// The modem's firmware update in the simulated tracker: its section of the scenario.
#include "telit/sim/TelitScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_telit {
    TelitScenario telit;
};

}  // namespace ktx::sim
