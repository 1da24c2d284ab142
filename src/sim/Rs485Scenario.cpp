#include "sim/Rs485Scenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readRs485Scenario(const Json& root, Rs485Scenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "rs485", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
