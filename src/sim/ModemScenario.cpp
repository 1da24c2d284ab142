#include "sim/ModemScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readModemScenario(const Json& root, ModemScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "modem", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
