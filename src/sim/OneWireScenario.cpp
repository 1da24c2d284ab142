#include "sim/OneWireScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readOneWireScenario(const Json& root, OneWireScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "onewire", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
