#pragma once
// Scenario values of the GNSS receiver, its antenna and the real-time clock, read from the scenario's "gnss" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct GnssScenario {
};

// Reads root's "gnss" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readGnssScenario(const nlohmann::json& root, GnssScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
