#pragma once
// Scenario values of the accelerometer, read from the scenario's "accel" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct AccelScenario {
};

// Reads root's "accel" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readAccelScenario(const nlohmann::json& root, AccelScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
