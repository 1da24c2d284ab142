#pragma once
// Scenario values of the relay and modem side of a modem firmware update, read from the scenario's "telit" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct TelitScenario {
};

// Reads root's "telit" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readTelitScenario(const nlohmann::json& root, TelitScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
