#pragma once
// The simulated tracker answering at once: no latency, the whole reply in
// one transfer. What the benchmarks measure is then the console's own work.
#include "sim/Scenario.h"

namespace ktx::bench {

inline sim::Scenario instantScenario()
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.latencyMs = 0;
    scenario.chunkIntervalUs = 0;
    return scenario;
}

}  // namespace ktx::bench
