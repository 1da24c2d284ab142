#include "onewire/sim/OneWireScenario.h"
#include "onewire/sim/SimRegistration.h"

#include "base/HexDigit.h"
#include "sim/ScenarioReader.h"

namespace ktx::sim {
namespace {

bool allHex(const std::string& text)
{
    for (const char c : text)
        if (hexDigit(c) < 0)
            return false;
    return true;
}

bool readRom(const Json& value, const std::string& key, std::array<uint8_t, 8>& rom, ScenarioReader& reader)
{
    if (!value.is_string() || value.get_ref<const std::string&>().size() != 16
        || !allHex(value.get_ref<const std::string&>()))
        return reader.fail(key, "expected a ROM code of 16 hex digits");
    const auto& text = value.get_ref<const std::string&>();
    for (size_t i = 0; i < rom.size(); ++i)
        rom[i] = static_cast<uint8_t>(hexDigit(text[2 * i]) * 16 + hexDigit(text[2 * i + 1]));
    return true;
}

bool readFault(const Json& value, const std::string& key, SensorFault& fault, ScenarioReader& reader)
{
    static const std::pair<const char*, SensorFault> kNames[] = {{"none", SensorFault::None},
        {"noReading", SensorFault::NoReading}, {"garbage", SensorFault::Garbage}, {"silent", SensorFault::Silent}};
    if (value.is_string())
        for (const auto& [name, kind] : kNames)
            if (value.get_ref<const std::string&>() == name) {
                fault = kind;
                return true;
            }
    return reader.fail(key, "expected \"none\", \"noReading\", \"garbage\" or \"silent\"");
}

bool readSensor(const Json& value, const std::string& key, TemperatureSensor& sensor, ScenarioReader& reader)
{
    if (!value.is_object())
        return reader.fail(key, "expected a JSON object");
    const auto address = value.find("address");
    if (address == value.end() || !address->is_string() || address->get_ref<const std::string&>().empty()
        || address->get_ref<const std::string&>().size() > 12 || !allHex(address->get_ref<const std::string&>()))
        return reader.fail(key + ".address", "expected 1 to 12 hex digits");
    sensor.address = address->get<std::string>();
    if (const auto t = value.find("temperature"); t != value.end()
        && !reader.number(*t, key + ".temperature", -55.0, 125.0, sensor.temperature))
        return false;
    if (const auto f = value.find("fault"); f != value.end() && !readFault(*f, key + ".fault", sensor.fault, reader))
        return false;
    return true;
}

}  // namespace

// The "onewire" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_onewire(const Json& root, ScenarioSection_onewire& areaSection, ScenarioReader& reader)
{
    OneWireScenario& out = areaSection.onewire;
    bool ok = true;
    const Json* section = scenarioSection(root, "onewire", reader, ok);
    if (!section)
        return ok;
    OneWireScenario values = out;
    if (const auto bus = section->find("bus"); bus != section->end()) {
        if (!bus->is_array() || bus->size() > kMaxOneWireSensors)
            return reader.fail("onewire.bus", "expected an array of at most 64 ROM codes");
        values.bus.assign(bus->size(), {});
        for (size_t i = 0; i < bus->size(); ++i)
            if (!readRom((*bus)[i], "onewire.bus[" + std::to_string(i) + "]", values.bus[i], reader))
                return false;
    }
    if (const auto sensors = section->find("sensors"); sensors != section->end()) {
        if (!sensors->is_array() || sensors->size() > kMaxOneWireSensors)
            return reader.fail("onewire.sensors", "expected an array of at most 64 sensors");
        values.sensors.assign(sensors->size(), {});
        for (size_t i = 0; i < sensors->size(); ++i)
            if (!readSensor((*sensors)[i], "onewire.sensors[" + std::to_string(i) + "]", values.sensors[i], reader))
                return false;
    }
    if (!reader.integerKey(*section, "noise", 0, 160, values.noise)
        || !reader.integerKey(*section, "shortIdReplies", -1, 1000000, values.shortIdReplies))
        return false;
    out = std::move(values);
    return true;
}

}  // namespace ktx::sim
