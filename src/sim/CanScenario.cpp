#include "sim/CanScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readCanScenario(const Json& root, CanScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "can", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
