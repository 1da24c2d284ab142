#include "onewire/sim/SimRegistration.h"

#include <memory>

#include "onewire/sim/OneWireModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_onewire(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<OneWireModule>(scenario));
}

}  // namespace ktx::sim
