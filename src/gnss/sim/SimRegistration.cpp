#include "gnss/sim/SimRegistration.h"

#include <memory>

#include "gnss/sim/ClockModule.h"
#include "gnss/sim/GnssModule.h"
#include "sim/DeviceModel.h"

namespace ktx::sim {

void addSimModules_gnss(DeviceModel& model, const Scenario& scenario)
{
    auto receiver = std::make_unique<GnssModule>(scenario);
    // The input module reports the antenna supply in its ADD_TEST reply.
    model.setAntennaReading([module = receiver.get()](int64_t nowMs) { return module->antennaReading(nowMs); });
    model.addModule(std::move(receiver));
    model.addModule(std::make_unique<ClockModule>(scenario));
}

}  // namespace ktx::sim
