#pragma once
// The GSM modem in the simulated tracker: its section of the scenario.
#include "gsm/sim/ModemScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_gsm {
    ModemScenario modem;
};

}  // namespace ktx::sim
