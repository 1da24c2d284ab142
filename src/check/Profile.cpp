#include "check/Profile.h"

#include "base/CNumbers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include <nlohmann/json.hpp>

#include "base/RegularFile.h"
#include "check/ProfileReader.h"
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

// The keys every step takes; any other key is one of its type's, or a typo or
// another type's, and is refused rather than ignored.
const char* const kCommonStepKeys[] = {"type", "name", "optional", "skip"};
// "$schema" lets an editor find the profile's JSON Schema.
const std::vector<std::string_view> kProfileKeys = {"$schema", "name", "steps"};

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

// "identification, supply, ...": every step type, in the areas' order.
std::string stepTypeNames()
{
    std::vector<std::string_view> types;
    for (const CheckArea* area : checkAreas())
        for (const StepType& stepType : area->steps)
            types.push_back(stepType.type);
    return joinedKeys(types);
}

std::vector<std::string_view> stepKeys(const StepType& stepType)
{
    std::vector<std::string_view> keys(std::begin(kCommonStepKeys), std::end(kCommonStepKeys));
    keys.insert(keys.end(), stepType.keys.begin(), stepType.keys.end());
    return keys;
}

void readStep(const json& step, const std::string& path, StepPlan& stepPlan, std::string& error)
{
    ProfileReader r(step, path, error);
    r.text("type", stepPlan.type, true);
    if (!r.ok())
        return;
    const StepType* stepType = findStepType(stepPlan.type);
    if (!stepType)
        return void(r.fail(r.at("type"), ("one of " + stepTypeNames()).c_str()));
    if (!r.onlyKeys(stepKeys(*stepType), "in a step of type " + stepPlan.type))
        return;
    stepPlan.name = stepPlan.type;
    r.text("name", stepPlan.name);
    if (stepPlan.name.empty())
        return void(r.fail(r.at("name"), "a text that is not empty"));
    r.flag("optional", stepPlan.optional);
    r.flag("skip", stepPlan.skip);
    stepType->read(r, stepPlan);
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
    } catch (const json::exception&) {
        // A number too large for a double (1e999).
        return (error = "the profile is not JSON: a number out of range"), false;
    }
    if (!repeated.first.empty())
        return (error = "profile key \"" + repeated.first + "\": given twice (the first would be ignored)"), false;
    if (!root.is_object())
        return (error = "the profile: expected a JSON object with \"name\" and \"steps\""), false;
    Profile profile;
    if (!ProfileReader(root, "", error).onlyKeys(kProfileKeys, "at the top of a profile"))
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
        StepPlan stepPlan;
        readStep((*steps)[i], path, stepPlan, error);
        if (!error.empty())
            return false;
        profile.steps.push_back(std::move(stepPlan));
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
