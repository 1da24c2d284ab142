#pragma once
// Scenario values of the vehicle on the CAN bus, read from the scenario's "can" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct CanScenario {
};

// Reads root's "can" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readCanScenario(const nlohmann::json& root, CanScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
