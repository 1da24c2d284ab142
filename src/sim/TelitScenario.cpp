#include "sim/TelitScenario.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readTelitScenario(const Json& root, TelitScenario& out, ScenarioReader& reader)
{
    bool ok = true;
    const Json* section = scenarioSection(root, "telit", reader, ok);
    if (!section)
        return ok;
    (void)out;
    return true;
}

}  // namespace ktx::sim
