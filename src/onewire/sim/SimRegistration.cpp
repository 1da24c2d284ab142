#include "onewire/sim/SimRegistration.h"

#include <memory>

#include "onewire/sim/OneWireModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_onewire(const Json& root, ScenarioSection_onewire& out, ScenarioReader& reader)
{
    return readOneWireScenario(root, out.onewire, reader);
}

void addSimModules_onewire(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<OneWireModule>(scenario));
}

}  // namespace ktx::sim
