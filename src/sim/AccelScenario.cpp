#include "sim/AccelScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readAccelScenario(const Json& root, AccelScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "accel", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
