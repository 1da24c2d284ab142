#include "accel/sim/SimRegistration.h"

#include <memory>

#include "accel/sim/AccelModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_accel(const Json& root, ScenarioSection_accel& out, ScenarioReader& reader)
{
    return readAccelScenario(root, out.accel, reader);
}

void addSimModules_accel(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<AccelModule>(scenario));
}

}  // namespace ktx::sim
