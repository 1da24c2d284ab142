#pragma once
// Scenario values of the RS-485 fuel level sensors and the input extender, read from the scenario's "rs485" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct Rs485Scenario {
};

// Reads root's "rs485" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readRs485Scenario(const nlohmann::json& root, Rs485Scenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
