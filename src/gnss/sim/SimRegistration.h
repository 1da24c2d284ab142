#pragma once
// The GNSS receiver, its antenna and the clock in the simulated tracker: its section of the scenario.
#include "gnss/sim/GnssScenario.h"
#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_gnss {
    GnssScenario gnss;
};

}  // namespace ktx::sim
