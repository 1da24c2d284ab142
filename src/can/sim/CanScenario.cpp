#include "can/sim/CanScenario.h"
#include "can/sim/SimRegistration.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {
namespace {

constexpr int64_t kMaxDistanceM = int64_t{0xFAFFFFFF} * 5;  // the largest valid distance of the group
constexpr size_t kMaxAxles = 14;                             // axle 15 means "not available"
constexpr int kMaxAxleKg = 32767;                            // 2 kg per bit in 16 bits, per wheel

bool numberKey(ScenarioReader& r, const Json& object, const char* key, double min, double max, double& out)
{
    const auto it = object.find(key);
    return it == object.end() || r.number(*it, std::string("can.") + key, min, max, out);
}

bool axlesKey(ScenarioReader& r, const Json& object, std::vector<int>& out)
{
    const auto it = object.find("axleKg");
    if (it == object.end())
        return true;
    if (!it->is_array() || it->size() > kMaxAxles)
        return r.fail("can.axleKg", "expected an array of at most 14 axle loads");
    std::vector<int> loads;
    for (size_t i = 0; i < it->size(); ++i) {
        int64_t kg = 0;
        if (!r.integer((*it)[i], "can.axleKg[" + std::to_string(i) + "]", 0, 2 * kMaxAxleKg, kg))
            return false;
        loads.push_back(static_cast<int>(kg));
    }
    out = std::move(loads);
    return true;
}

}  // namespace

// The "can" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_can(const Json& root, ScenarioSection_can& areaSection, ScenarioReader& reader)
{
    CanScenario& out = areaSection.can;
    bool ok = true;
    const Json* section = scenarioSection(root, "can", reader, ok);
    if (!section)
        return ok;
    CanScenario s = out;
    ScenarioReader& r = reader;
    const Json& c = *section;
    const bool read = r.boolKey(c, "capture", s.capture)
        && r.integerKey(c, "topSpeedKmh", 0, 250, s.topSpeedKmh)
        && r.integerKey(c, "cycleS", 10, 86400, s.cycleS)
        && r.integerKey(c, "startDistanceM", 0, kMaxDistanceM, s.startDistanceM)
        && numberKey(r, c, "startFuelUsedL", 0, 2e9, s.startFuelUsedL)
        && numberKey(r, c, "litresPer100Km", 0, 1000, s.litresPer100Km)
        && numberKey(r, c, "idleLitresPerHour", 0, 100, s.idleLitresPerHour)
        && numberKey(r, c, "tankLitres", 1, 10000, s.tankLitres)
        && numberKey(r, c, "startFuelLevelPct", 0, 100, s.startFuelLevelPct)
        && numberKey(r, c, "startEngineHours", 0, 2e8, s.startEngineHours)
        && r.integerKey(c, "serviceKm", -160635, 166840, s.serviceKm)
        && r.integerKey(c, "coolantC", -40, 210, s.coolantC)
        && r.integerKey(c, "oilC", -273, 1734, s.oilC)
        && r.integerKey(c, "fuelC", -40, 210, s.fuelC)
        && axlesKey(r, c, s.axleKg)
        && r.integerKey(c, "trailerKg", 0, kMaxAxleKg, s.trailerKg)
        && r.integerKey(c, "fuelSensors", 0, 2, s.fuelSensors)
        && r.integerKey(c, "undecodedIds", 0, 4096, s.undecodedIds)
        && r.integerKey(c, "undecodedPerReply", 0, 15, s.undecodedPerReply)
        && r.shareKey(c, "fourteenLines", s.fourteenLines)
        && r.shareKey(c, "garbage", s.garbage);
    if (!read)
        return false;
    out = s;
    return true;
}

}  // namespace ktx::sim
