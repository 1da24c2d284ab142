#include "gsm/sim/SimRegistration.h"

#include <memory>

#include "gsm/sim/ModemModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_gsm(const Json& root, ScenarioSection_gsm& out, ScenarioReader& reader)
{
    return readModemScenario(root, out.modem, reader);
}

void addSimModules_gsm(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<ModemModule>(scenario));
}

}  // namespace ktx::sim
