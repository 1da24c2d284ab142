#include "check/Profile.h"

#include "base/CNumbers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "base/RegularFile.h"
#include "sim/ScenarioReader.h"

namespace ktx::check {
namespace {

using nlohmann::json;

constexpr size_t kMaxProfileBytes = 1 << 20;

// Limits chosen for the simulated tracker at rest on a bench, with the modem's
// power-on (13 s) as the longest wait.
constexpr std::string_view kDefaultProfile = R"({
  "name": "Korvantix line check",
  "steps": [
    {"type": "identification", "firmware": {"min": 57, "max": 999}},
    {"type": "supply", "supply": {"min": 9, "max": 32}, "battery": {"min": 3, "max": 20},
     "ain1": {"min": 0, "max": 10}, "ain2": {"min": 0, "max": 30}},
    {"type": "outputs", "outputs": [{"output": 1, "input": null}, {"output": 2, "input": null}]},
    {"type": "counters", "generators": [1, 2], "seconds": 1},
    {"type": "gsm", "sim": 0, "pin": "1234", "registrationS": 20, "signal": {"min": 10, "max": 31},
     "gprs": false, "server": false},
    {"type": "gnss", "fixS": 60, "latitude": 55.1520575, "longitude": 61.3909445, "radiusM": 500},
    {"type": "clock", "toleranceS": 5},
    {"type": "onewire", "minSensors": 8, "temperature": {"min": -40, "max": 90},
     "sensors": ["a2b3c4d5e6f7", "a2b3c4d5e6f8", "0c1d2e3f4a5b", "1b00000a3c44",
                 "5e11f2a8c903", "77a0b1c2d3e4", "00e4f5a6b7c8", "3a9b8c7d6e5f"]},
    {"type": "rs485", "fuelSensors": ["1", "2", "3", "4"], "level": {"min": 0, "max": 4095}, "extender": true},
    {"type": "can", "frameS": 10, "values": ["speed", "engineSpeed"]},
    {"type": "accel", "countsPerG": 64, "magnitude": {"min": 0.8, "max": 1.2}}
  ]
}
)";

const char* const kStepTypes[] = {"identification", "supply", "outputs", "counters", "gsm", "gnss", "clock",
    "onewire", "rs485", "can", "accel"};
const char* const kCanValues[] = {"speed", "engineSpeed"};

// The keys each step type takes besides the common ones; any other key is a
// typo or belongs to another type, and is refused rather than ignored.
const char* const kCommonStepKeys[] = {"type", "name", "optional", "skip"};
const std::pair<std::string_view, std::vector<std::string_view>> kStepKeys[] = {
    {"identification", {"firmware"}},
    {"supply", {"supply", "battery", "ain1", "ain2"}},
    {"outputs", {"outputs"}},
    {"counters", {"generators", "seconds"}},
    {"gsm", {"sim", "pin", "registrationS", "signal", "gprs", "apn", "apnUser", "apnPassword", "server", "serverIp",
                "serverPort"}},
    {"gnss", {"fixS", "latitude", "longitude", "radiusM"}},
    {"clock", {"toleranceS"}},
    {"onewire", {"sensors", "minSensors", "temperature"}},
    {"rs485", {"fuelSensors", "level", "extender"}},
    {"can", {"frameS", "values"}},
    {"accel", {"countsPerG", "magnitude"}},
};
// "$schema" lets an editor find the profile's JSON Schema.
const std::vector<std::string_view> kProfileKeys = {"$schema", "name", "steps"};
const std::vector<std::string_view> kRangeKeys = {"min", "max"};
const std::vector<std::string_view> kWiringKeys = {"output", "input"};

std::string joined(const std::vector<std::string_view>& keys)
{
    std::string text;
    for (const std::string_view key : keys)
        text += (text.empty() ? "" : ", ") + std::string(key);
    return text;
}

// Notes where the parser is, to name the first key that stands twice in one
// object (the parser itself would keep the last and drop the rest).
class RepeatedKeys {
public:
    bool operator()(int, json::parse_event_t event, json& parsed)
    {
        switch (event) {
        case json::parse_event_t::object_start:
        case json::parse_event_t::array_start:
            levels_.push_back({event == json::parse_event_t::array_start, {}, {}, 0});
            break;
        case json::parse_event_t::key:
            if (!levels_.empty()) {
                Level& level = levels_.back();
                level.key = parsed.get<std::string>();
                if (!level.keys.insert(level.key).second && first.empty())
                    first = pathHere();
            }
            break;
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            if (!levels_.empty())
                levels_.pop_back();
            advance();
            break;
        case json::parse_event_t::value:
            advance();
            break;
        }
        return true;
    }

    std::string first;  // the path of the first repeated key, empty if none

private:
    struct Level {
        bool array;
        std::set<std::string> keys;
        std::string key;
        size_t index;
    };
    void advance()
    {
        if (!levels_.empty() && levels_.back().array)
            ++levels_.back().index;
    }
    std::string pathHere() const
    {
        std::string path;
        for (const Level& level : levels_)
            path += level.array ? "[" + std::to_string(level.index) + "]" : (path.empty() ? "" : ".") + level.key;
        return path;
    }
    std::vector<Level> levels_;
};

// Reads keys of one object; the first problem is kept with its key's path.
class Reader {
public:
    Reader(const json& object, std::string path, std::string& error) : object_(object), path_(std::move(path)), error_(error) {}

    bool ok() const { return error_.empty(); }
    std::string at(const char* key) const { return path_ + "." + key; }

    bool fail(const std::string& where, const char* expected)
    {
        if (error_.empty())
            error_ = "profile key \"" + where + "\": expected " + expected;
        return false;
    }

    // Every key of the object must be one of known.
    bool onlyKeys(const std::vector<std::string_view>& known, const std::string& where)
    {
        return keysWithin(object_, known, path_.empty() ? "" : path_ + ".", where);
    }
    bool keysWithin(const json& object, const std::vector<std::string_view>& known, const std::string& prefix,
        const std::string& where)
    {
        for (const auto& [key, value] : object.items())
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                if (error_.empty())
                    error_ = "profile key \"" + prefix + key + "\": not known " + where + "; the keys there are "
                        + joined(known);
                return false;
            }
        return true;
    }
    void required(const char* key, const char* expected)
    {
        if (!find(key))
            fail(at(key), expected);
    }

    const json* find(const char* key) const
    {
        const auto it = object_.find(key);
        return it == object_.end() || it->is_null() ? nullptr : &*it;
    }

    void text(const char* key, std::string& out, bool required = false)
    {
        const json* value = find(key);
        if (!value) {
            if (required)
                fail(at(key), "a text");
            return;
        }
        if (!value->is_string())
            return void(fail(at(key), "a text"));
        out = value->get<std::string>();
    }
    void flag(const char* key, bool& out)
    {
        if (const json* value = find(key)) {
            if (!value->is_boolean())
                return void(fail(at(key), "true or false"));
            out = value->get<bool>();
        }
    }
    void number(const char* key, double& out, double low, double high)
    {
        if (const json* value = find(key))
            numberAt(*value, at(key), out, low, high);
    }
    void integer(const char* key, int& out, int low, int high)
    {
        if (const json* value = find(key))
            integerAt(*value, at(key), out, low, high);
    }
    void range(const char* key, Range& out, double low, double high)
    {
        if (const json* value = find(key))
            rangeAt(*value, at(key), out, low, high);
    }
    void optionalRange(const char* key, std::optional<Range>& out, double low, double high)
    {
        const json* value = find(key);
        if (!value) {
            out.reset();
            return;
        }
        Range range;
        if (rangeAt(*value, at(key), range, low, high))
            out = range;
    }
    void texts(const char* key, std::vector<std::string>& out)
    {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_array())
            return void(fail(at(key), "a list of texts"));
        out.clear();
        for (size_t i = 0; i < value->size(); ++i) {
            if (!(*value)[i].is_string())
                return void(fail(at(key) + "[" + std::to_string(i) + "]", "a text"));
            out.push_back((*value)[i].get<std::string>());
        }
    }
    void integers(const char* key, std::vector<int>& out, int low, int high)
    {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_array())
            return void(fail(at(key), "a list of whole numbers"));
        out.clear();
        for (size_t i = 0; i < value->size(); ++i) {
            int item = 0;
            if (!integerAt((*value)[i], at(key) + "[" + std::to_string(i) + "]", item, low, high))
                return;
            out.push_back(item);
        }
    }

    bool numberAt(const json& value, const std::string& where, double& out, double low, double high)
    {
        if (!value.is_number())
            return fail(where, "a number");
        const double number = value.get<double>();
        if (number < low || number > high) {
            const CNumbersScope pointDecimals;
            char expected[96];
            std::snprintf(expected, sizeof expected, "a number from %g to %g", low, high);
            return fail(where, expected);
        }
        out = number;
        return true;
    }
    bool integerAt(const json& value, const std::string& where, int& out, int low, int high)
    {
        if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high) {
            char expected[96];
            std::snprintf(expected, sizeof expected, "a whole number from %d to %d", low, high);
            return fail(where, expected);
        }
        out = static_cast<int>(value.get<int64_t>());
        return true;
    }
    bool rangeAt(const json& value, const std::string& where, Range& out, double low, double high)
    {
        if (!value.is_object() || !value.contains("min") || !value.contains("max"))
            return fail(where, "an object with \"min\" and \"max\"");
        if (!keysWithin(value, kRangeKeys, where + ".", "in a range"))
            return false;
        Range range;
        if (!numberAt(value["min"], where + ".min", range.low, low, high)
            || !numberAt(value["max"], where + ".max", range.high, low, high))
            return false;
        if (range.low > range.high)
            return fail(where, "\"min\" not above \"max\"");
        out = range;
        return true;
    }

private:
    const json& object_;
    std::string path_;
    std::string& error_;
};

bool knownType(const std::string& type)
{
    for (const char* known : kStepTypes)
        if (type == known)
            return true;
    return false;
}

void readOutputs(Reader& r, StepSpec& stepSpec)
{
    const json* list = r.find("outputs");
    if (!list)
        return;
    if (!list->is_array())
        return void(r.fail(r.at("outputs"), "a list of {\"output\": 1 or 2, \"input\": 1..8 or null}"));
    stepSpec.outputs.clear();
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string where = r.at("outputs") + "[" + std::to_string(i) + "]";
        const json& item = (*list)[i];
        if (!item.is_object())
            return void(r.fail(where, "an object with \"output\""));
        if (!r.keysWithin(item, kWiringKeys, where + ".", "in an output's wiring"))
            return;
        OutputWiring wiring;
        if (!item.contains("output") || !r.integerAt(item["output"], where + ".output", wiring.output, 1, 2))
            return void(r.fail(where + ".output", "a whole number from 1 to 2"));
        if (item.contains("input") && !item["input"].is_null()) {
            int input = 0;
            if (!r.integerAt(item["input"], where + ".input", input, 1, 8))
                return;
            wiring.input = input;
        }
        stepSpec.outputs.push_back(wiring);
    }
}

const std::vector<std::string_view>& stepKeys(const std::string& type)
{
    static std::map<std::string_view, std::vector<std::string_view>> keys = [] {
        std::map<std::string_view, std::vector<std::string_view>> all;
        for (const auto& [stepType, own] : kStepKeys) {
            std::vector<std::string_view>& list = all[stepType];
            list.assign(std::begin(kCommonStepKeys), std::end(kCommonStepKeys));
            list.insert(list.end(), own.begin(), own.end());
        }
        return all;
    }();
    return keys.at(type);
}

// A limit with no default that passes a good tracker must be given: a step
// that measures nothing, or against a made-up limit, would judge wrongly.
void requireLimits(Reader& r, const StepSpec& stepSpec)
{
    const std::string& type = stepSpec.type;
    if (type == "identification")
        r.required("firmware", "the firmware version range, e.g. {\"min\": 57, \"max\": 999}");
    else if (type == "supply" && !stepSpec.supply && !stepSpec.battery && !stepSpec.ain1 && !stepSpec.ain2)
        r.fail(r.at("supply"), "at least one of supply, battery, ain1, ain2 with its range");
    else if (type == "outputs" && stepSpec.outputs.empty())
        r.fail(r.at("outputs"), "a list of at least one {\"output\": 1 or 2, \"input\": 1..8 or null}");
    else if (type == "counters" && stepSpec.generators.empty())
        r.fail(r.at("generators"), "a list of at least one counter (1..8) with a generator");
    else if (type == "gnss" && stepSpec.latitude)
        r.required("radiusM", "the radius in metres around the point given");
    else if (type == "onewire" && stepSpec.sensors.empty())
        r.fail(r.at("sensors"), "a list of at least one sensor address");
    else if (type == "rs485" && stepSpec.fuelSensors.empty() && !stepSpec.extender)
        r.fail(r.at("fuelSensors"), "a list of at least one address, or \"extender\": true");
}

void readStep(const json& step, const std::string& path, StepSpec& stepSpec, std::string& error)
{
    Reader r(step, path, error);
    r.text("type", stepSpec.type, true);
    if (!r.ok())
        return;
    if (!knownType(stepSpec.type))
        return void(r.fail(r.at("type"),
            "one of identification, supply, outputs, counters, gsm, gnss, clock, onewire, rs485, can, accel"));
    if (!r.onlyKeys(stepKeys(stepSpec.type), "in a step of type " + stepSpec.type))
        return;
    stepSpec.name = stepSpec.type;
    r.text("name", stepSpec.name);
    if (stepSpec.name.empty())
        return void(r.fail(r.at("name"), "a text that is not empty"));
    r.flag("optional", stepSpec.optional);
    r.flag("skip", stepSpec.skip);
    constexpr double kLongestWaitS = 600;
    r.range("firmware", stepSpec.firmware, 0, 1e6);
    r.optionalRange("supply", stepSpec.supply, -100, 100);
    r.optionalRange("battery", stepSpec.battery, -100, 100);
    r.optionalRange("ain1", stepSpec.ain1, -100, 100);
    r.optionalRange("ain2", stepSpec.ain2, -100, 100);
    readOutputs(r, stepSpec);
    r.integers("generators", stepSpec.generators, 1, 8);
    r.number("seconds", stepSpec.counterSeconds, 0.1, kLongestWaitS);
    r.integer("sim", stepSpec.simIndex, 0, 1);
    r.text("pin", stepSpec.pin);
    r.number("registrationS", stepSpec.registrationS, 0, kLongestWaitS);
    r.optionalRange("signal", stepSpec.signal, 0, 31);
    r.flag("gprs", stepSpec.gprs);
    r.text("apn", stepSpec.apn);
    r.text("apnUser", stepSpec.apnUser);
    r.text("apnPassword", stepSpec.apnPassword);
    r.flag("server", stepSpec.server);
    r.text("serverIp", stepSpec.serverIp);
    r.text("serverPort", stepSpec.serverPort);
    r.number("fixS", stepSpec.fixS, 0, kLongestWaitS);
    double latitude = 0, longitude = 0;
    if (r.find("latitude")) {
        r.number("latitude", latitude, -90, 90);
        stepSpec.latitude = latitude;
    }
    if (r.find("longitude")) {
        r.number("longitude", longitude, -180, 180);
        stepSpec.longitude = longitude;
    }
    if (stepSpec.latitude.has_value() != stepSpec.longitude.has_value())
        r.fail(r.at(stepSpec.latitude ? "longitude" : "latitude"), "a number beside the other coordinate");
    r.number("radiusM", stepSpec.radiusM, 0, 2e7);
    r.number("toleranceS", stepSpec.toleranceS, 0, 86400);
    r.texts("sensors", stepSpec.sensors);
    // Without a number, every sensor listed must answer.
    stepSpec.minSensors = static_cast<int>(std::min<size_t>(stepSpec.sensors.size(), 64));
    r.integer("minSensors", stepSpec.minSensors, 0, static_cast<int>(std::min<size_t>(stepSpec.sensors.size(), 64)));
    r.range("temperature", stepSpec.temperature, -100, 200);
    r.texts("fuelSensors", stepSpec.fuelSensors);
    if (stepSpec.fuelSensors.size() > 8)
        r.fail(r.at("fuelSensors"), "at most 8 addresses");
    r.range("level", stepSpec.level, -1e9, 1e9);
    r.flag("extender", stepSpec.extender);
    r.number("frameS", stepSpec.frameS, 0, kLongestWaitS);
    r.texts("values", stepSpec.values);
    for (size_t i = 0; i < stepSpec.values.size() && r.ok(); ++i)
        if (stepSpec.values[i] != kCanValues[0] && stepSpec.values[i] != kCanValues[1])
            r.fail(r.at("values") + "[" + std::to_string(i) + "]", "\"speed\" or \"engineSpeed\"");
    r.number("countsPerG", stepSpec.countsPerG, 1, 1e6);
    r.range("magnitude", stepSpec.magnitude, 0, 100);
    if (r.ok())
        requireLimits(r, stepSpec);
}

}  // namespace

std::string_view defaultProfileText() { return kDefaultProfile; }

std::string profileHash(std::string_view text)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char byte : text) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("fnv1a64:") + hex;
}

bool parseProfile(std::string_view text, Profile& out, std::string& error)
{
    error.clear();
    RepeatedKeys repeated;
    json root;
    try {
        root = json::parse(text, std::ref(repeated));
    } catch (const json::parse_error& e) {
        return (error = "the profile is not JSON: " + sim::describeSyntaxError(text, e)), false;
    }
    if (!repeated.first.empty())
        return (error = "profile key \"" + repeated.first + "\": given twice (the first would be ignored)"), false;
    if (!root.is_object())
        return (error = "the profile: expected a JSON object with \"name\" and \"steps\""), false;
    Profile profile;
    if (!Reader(root, "", error).onlyKeys(kProfileKeys, "at the top of a profile"))
        return false;
    if (!root.contains("name") || !root["name"].is_string() || root["name"].get<std::string>().empty())
        return (error = "profile key \"name\": expected a text that is not empty"), false;
    profile.name = root["name"].get<std::string>();
    const json* steps = root.contains("steps") ? &root["steps"] : nullptr;
    if (!steps || !steps->is_array() || steps->empty())
        return (error = "profile key \"steps\": expected a list of at least one step"), false;
    for (size_t i = 0; i < steps->size(); ++i) {
        const std::string path = "steps[" + std::to_string(i) + "]";
        if (!(*steps)[i].is_object())
            return (error = "profile key \"" + path + "\": expected an object with \"type\""), false;
        StepSpec stepSpec;
        readStep((*steps)[i], path, stepSpec, error);
        if (!error.empty())
            return false;
        profile.steps.push_back(std::move(stepSpec));
    }
    profile.hash = profileHash(text);
    out = std::move(profile);
    return true;
}

bool loadProfileFile(const std::string& path, Profile& out, std::string& error)
{
    std::string text;
    int errorNumber = 0;
    switch (readRegularFile(path, kMaxProfileBytes, text, &errorNumber)) {
    case FileReadResult::Ok:
        break;
    case FileReadResult::NotRegular:
        return (error = path + ": not a regular file"), false;
    case FileReadResult::TooLarge:
        return (error = path + ": larger than 1 MiB"), false;
    default:
        return (error = path + ": " + std::strerror(errorNumber)), false;
    }
    if (!parseProfile(text, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace ktx::check
