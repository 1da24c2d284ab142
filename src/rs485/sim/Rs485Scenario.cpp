#include "rs485/sim/Rs485Scenario.h"
#include "rs485/sim/SimRegistration.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {
namespace {

bool readFuelSensor(const Json& value, const std::string& key, FuelSensor& sensor, ScenarioReader& reader)
{
    if (!value.is_object())
        return reader.fail(key, "expected a JSON object");
    const auto address = value.find("address");
    if (address == value.end() || !address->is_string() || address->get_ref<const std::string&>().empty()
        || address->get_ref<const std::string&>().size() > 32)
        return reader.fail(key + ".address", "expected a text of 1 to 32 bytes");
    sensor.address = address->get<std::string>();
    int64_t number = 0;
    if (const auto level = value.find("level"); level != value.end()) {
        if (!reader.integer(*level, key + ".level", INT32_MIN, INT32_MAX, number))
            return false;
        sensor.level = static_cast<int>(number);
    }
    if (const auto t = value.find("temperature"); t != value.end()) {
        if (!reader.integer(*t, key + ".temperature", -128, 127, number))
            return false;
        sensor.temperature = static_cast<int>(number);
    }
    return true;
}

}  // namespace

// The "rs485" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_rs485(const Json& root, ScenarioSection_rs485& areaSection, ScenarioReader& reader)
{
    Rs485Scenario& out = areaSection.rs485;
    bool ok = true;
    const Json* section = scenarioSection(root, "rs485", reader, ok);
    if (!section)
        return ok;
    Rs485Scenario values = out;
    if (const auto sensors = section->find("fuelSensors"); sensors != section->end()) {
        if (!sensors->is_array() || sensors->size() > kMaxFuelSensors)
            return reader.fail("rs485.fuelSensors", "expected an array of at most 256 sensors");
        values.fuelSensors.assign(sensors->size(), {});
        for (size_t i = 0; i < sensors->size(); ++i)
            if (!readFuelSensor((*sensors)[i], "rs485.fuelSensors[" + std::to_string(i) + "]",
                    values.fuelSensors[i], reader))
                return false;
    }
    const auto bit = [&reader](const Json& value, const std::string& key, int& out) {
        int64_t v = 0;
        if (!reader.integer(value, key, 0, 1, v))
            return false;
        out = static_cast<int>(v);
        return true;
    };
    if (!reader.integerKey(*section, "levelNoise", 0, 4095, values.levelNoise)
        || !reader.boolKey(*section, "extenderPresent", values.extenderPresent)
        || !reader.arrayKey(*section, "extenderInputs", values.extenderInputs, bit)
        || !reader.shareKey(*section, "badChecksum", values.badChecksum))
        return false;
    out = std::move(values);
    return true;
}

}  // namespace ktx::sim
