#include "rs485/sim/SimRegistration.h"

#include <memory>

#include "rs485/sim/Rs485Module.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_rs485(const Json& root, ScenarioSection_rs485& out, ScenarioReader& reader)
{
    return readRs485Scenario(root, out.rs485, reader);
}

void addSimModules_rs485(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<Rs485Module>(scenario));
}

}  // namespace ktx::sim
