#include "gsm/sim/SimRegistration.h"

#include <memory>

#include "gsm/sim/ModemModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_gsm(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<ModemModule>(scenario));
}

}  // namespace ktx::sim
