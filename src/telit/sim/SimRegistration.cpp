#include "telit/sim/SimRegistration.h"

#include <memory>

#include "telit/sim/TelitModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_telit(DeviceModel& model, const Scenario& scenario)
{
    model.addModule(std::make_unique<TelitModule>(scenario));
}

}  // namespace ktx::sim
