#include "rs485/sim/SimRegistration.h"

#include <memory>

#include "rs485/sim/Rs485Module.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_rs485(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<Rs485Module>(scenario));
}

}  // namespace ktx::sim
