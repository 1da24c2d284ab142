#include "accel/sim/SimRegistration.h"

#include <memory>

#include "accel/sim/AccelModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_accel(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<AccelModule>(scenario));
}

}  // namespace ktx::sim
