#include "can/sim/SimRegistration.h"

#include <memory>

#include "can/sim/CanModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_can(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<CanModule>(scenario));
}

}  // namespace ktx::sim
