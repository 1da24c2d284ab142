#pragma once
// Scenario values of the GSM modem behind the "GSMCOMMAND=" frames and the power commands, read from the scenario's "modem" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

struct ModemScenario {
};

// Reads root's "modem" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readModemScenario(const nlohmann::json& root, ModemScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
