#include "can/sim/SimRegistration.h"

#include <memory>

#include "can/sim/CanModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_can(const Json& root, ScenarioSection_can& out, ScenarioReader& reader)
{
    return readCanScenario(root, out.can, reader);
}

void addSimModules_can(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<CanModule>(scenario));
}

}  // namespace ktx::sim
