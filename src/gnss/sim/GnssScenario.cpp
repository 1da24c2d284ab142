#include "gnss/sim/GnssScenario.h"
#include "gnss/sim/SimRegistration.h"

#include <array>
#include <string_view>
#include <utility>

#include "sim/ScenarioReader.h"

namespace ktx::sim {

namespace {

constexpr int64_t kMaxClockOffsetS = 400LL * 366 * 24 * 3600;  // the clock's whole range

template <typename Enum, size_t N>
bool nameKey(const Json& object, const char* key, const std::array<std::pair<std::string_view, Enum>, N>& names,
    ScenarioReader& reader, Enum& out)
{
    if (object.find(key) == object.end())
        return true;
    std::string text;
    if (!reader.stringKey(object, key, 16, text))
        return false;
    for (const auto& [name, value] : names) {
        if (text == name) {
            out = value;
            return true;
        }
    }
    std::string expected;
    for (const auto& [name, value] : names)
        expected += (expected.empty() ? "expected \"" : ", \"") + std::string(name) + "\"";
    return reader.fail(std::string("gnss.") + key, expected);
}

}  // namespace

// The "gnss" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_gnss(const Json& root, ScenarioSection_gnss& areaSection, ScenarioReader& reader)
{
    GnssScenario& out = areaSection.gnss;
    bool ok = true;
    const Json* section = scenarioSection(root, "gnss", reader, ok);
    if (!section)
        return ok;
    static constexpr std::array<std::pair<std::string_view, AntennaWiring>, 3> kAntenna = {
        {{"normal", AntennaWiring::Normal}, {"break", AntennaWiring::Break}, {"short", AntennaWiring::Short}}};
    static constexpr std::array<std::pair<std::string_view, ReceiverKind>, 3> kReceiver = {
        {{"gps", ReceiverKind::Gps}, {"glonass", ReceiverKind::Glonass}, {"none", ReceiverKind::Unreported}}};
    GnssScenario s = out;
    const Json& g = *section;
    const auto degrees = [&](const char* key, double limit, double& value) {
        const auto it = g.find(key);
        return it == g.end() || reader.number(*it, std::string("gnss.") + key, -limit, limit, value);
    };
    const bool read = nameKey(g, "antenna", kAntenna, reader, s.antenna)
        && reader.boolKey(g, "receiverOn", s.receiverOn)
        && reader.integerKey(g, "acquireMs", 0, 3600000, s.acquireMs)
        && reader.boolKey(g, "fixValid", s.fixValid)
        && nameKey(g, "receiver", kReceiver, reader, s.receiver)
        && degrees("latitude", 90.0, s.latitude)
        && degrees("longitude", 180.0, s.longitude)
        && reader.integerKey(g, "positionNoise", 0, 100000, s.positionNoise)
        && reader.integerKey(g, "clockOffsetS", -kMaxClockOffsetS, kMaxClockOffsetS, s.clockOffsetS);
    if (!read)
        return false;
    out = s;
    return true;
}

}  // namespace ktx::sim
