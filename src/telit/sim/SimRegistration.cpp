#include "telit/sim/SimRegistration.h"

#include <memory>

#include "telit/sim/TelitModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_telit(const Json& root, ScenarioSection_telit& out, ScenarioReader& reader)
{
    return readTelitScenario(root, out.telit, reader);
}

void addSimModules_telit(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<TelitModule>(scenario));
}

}  // namespace ktx::sim
