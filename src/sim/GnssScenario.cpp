#include "sim/GnssScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readGnssScenario(const Json& root, GnssScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "gnss", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
