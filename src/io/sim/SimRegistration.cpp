#include "io/sim/SimRegistration.h"

#include <limits>
#include <memory>

#include "io/sim/IoModule.h"
#include "sim/DeviceModel.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {

bool readScenarioSection_io(const Json& root, ScenarioSection_io& s, ScenarioReader& r)
{
    return r.integerKey(root, "power", 0, 1023, s.power)
        && r.integerKey(root, "battery", 0, 1023, s.battery)
        && r.integerKey(root, "ain1", 0, 1023, s.ain1)
        && r.integerKey(root, "ain2", 0, 1023, s.ain2)
        && r.arrayKey(root, "inputs", s.inputs,
            [&](const Json& v, const std::string& key, int& out) {
                if (v.is_boolean()) {
                    out = v.get<bool>() ? 1 : 0;
                    return true;
                }
                int64_t bit = 0;
                if (!r.integer(v, key, 0, 1, bit))
                    return false;
                out = static_cast<int>(bit);
                return true;
            })
        && r.arrayKey(root, "counterRates", s.counterRates,
            [&](const Json& v, const std::string& key, double& out) { return r.number(v, key, 0.0, 1e6, out); })
        && r.boolKey(root, "deviceTime", s.deviceTime)
        && r.integerKey(root, "deviceTimeStartMs", 1, std::numeric_limits<int32_t>::max(), s.deviceTimeStartMs)
        && r.boolKey(root, "longAddTest", s.longAddTest);
}

void addSimModules_io(DeviceModel& model, const Scenario& scenario)
{
    auto io = std::make_unique<IoModule>(scenario);
    // ADD_TEST's antenna supply field: the model asks whichever module
    // measures it.
    io->setAntennaReading([&model](int64_t nowMs) { return model.antennaReading(nowMs); });
    model.addModule(std::move(io));
}

}  // namespace ktx::sim
