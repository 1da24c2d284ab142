#pragma once
// Scenario values of the 1-Wire bus and its sensors, read from the scenario's "onewire" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct OneWireScenario {
};

// Reads root's "onewire" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readOneWireScenario(const nlohmann::json& root, OneWireScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
