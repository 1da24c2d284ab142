#pragma once
// What each area's sim/ folder gives the simulated tracker, declared here
// once for every area of the build's list (base/AreaList.h). In the area's
// sim/SimRegistration.h: ScenarioSection_<area>, the keys of the scenario
// it reads; in its sim/ sources: the reader of those keys and the function
// adding its modules to the device model. The build gathers the
// areas' SimRegistration.h files into sim/SimRegistrations.h.
#include <nlohmann/json_fwd.hpp>

#include "base/AreaList.h"

namespace ktx::sim {

class DeviceModel;
class ScenarioReader;
struct Scenario;

#define KTX_SIM_AREA_DECLARATIONS(area)                                                                     \
    struct ScenarioSection_##area;                                                                          \
    bool readScenarioSection_##area(const nlohmann::json& root, ScenarioSection_##area& out,                \
        ScenarioReader& reader);                                                                            \
    void addSimModules_##area(DeviceModel& model, const Scenario& scenario);
KTX_FOR_EACH_AREA(KTX_SIM_AREA_DECLARATIONS)
#undef KTX_SIM_AREA_DECLARATIONS

}  // namespace ktx::sim
