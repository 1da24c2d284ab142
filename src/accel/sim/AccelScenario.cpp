#include "accel/sim/AccelScenario.h"
#include "accel/sim/SimRegistration.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

// The "accel" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_accel(const Json& root, ScenarioSection_accel& areaSection, ScenarioReader& reader)
{
    AccelScenario& out = areaSection.accel;
    bool ok = true;
    const Json* section = scenarioSection(root, "accel", reader, ok);
    if (!section)
        return ok;
    AccelScenario s = out;
    const Json& a = *section;
    const auto number = [&](const char* key, double min, double max, double& value) {
        const auto it = a.find(key);
        return it == a.end() || reader.number(*it, std::string("accel.") + key, min, max, value);
    };
    const bool read = reader.integerKey(a, "gravity", 0, 10000, s.gravity)
        && number("tiltDeg", 0.0, 180.0, s.tiltDeg)
        && number("tiltPeriodS", 0.1, 86400.0, s.tiltPeriodS)
        && reader.integerKey(a, "noise", 0, 1000, s.noise);
    if (!read)
        return false;
    out = s;
    return true;
}

}  // namespace ktx::sim
