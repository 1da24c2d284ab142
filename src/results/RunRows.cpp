#include "results/RunRows.h"

#include <nlohmann/json.hpp>

#include "check/Profile.h"

namespace ktx::results {
namespace {

using nlohmann::json;

// Reads the record's keys, keeping the first one that is missing or wrong.
class Reader {
public:
    std::string error;

    const json* child(const json& parent, const std::string& path, const char* key, json::value_t kind)
    {
        if (!error.empty())
            return nullptr;
        const std::string where = path.empty() ? key : path + "." + key;
        if (!parent.is_object() || !parent.contains(key)) {
            error = "key \"" + where + "\" is missing";
            return nullptr;
        }
        const json& value = parent[key];
        const bool number = kind == json::value_t::number_integer;
        if (number ? !value.is_number_integer() : value.type() != kind) {
            error = "key \"" + where + "\" is not " + kindName(kind);
            return nullptr;
        }
        return &value;
    }
    std::string text(const json& parent, const std::string& path, const char* key)
    {
        const json* value = child(parent, path, key, json::value_t::string);
        return value ? value->get<std::string>() : std::string();
    }
    bool flag(const json& parent, const std::string& path, const char* key)
    {
        const json* value = child(parent, path, key, json::value_t::boolean);
        return value && value->get<bool>();
    }
    long long integer(const json& parent, const std::string& path, const char* key)
    {
        const json* value = child(parent, path, key, json::value_t::number_integer);
        return value ? value->get<long long>() : 0;
    }
    std::optional<double> bound(const json& limits, const std::string& path, const char* key)
    {
        if (!error.empty())
            return std::nullopt;
        if (!limits.is_object() || !limits.contains(key) || limits[key].is_null())
            return std::nullopt;
        if (!limits[key].is_number()) {
            error = "key \"" + path + "." + key + "\" is not a number";
            return std::nullopt;
        }
        return limits[key].get<double>();
    }

private:
    static std::string kindName(json::value_t kind)
    {
        switch (kind) {
        case json::value_t::string: return "a text";
        case json::value_t::boolean: return "true or false";
        case json::value_t::array: return "a list";
        case json::value_t::object: return "an object";
        default: return "a whole number";
        }
    }
};

std::optional<std::string> valueText(const json& value)
{
    if (value.is_null())
        return std::nullopt;
    return value.is_string() ? value.get<std::string>() : value.dump();
}

void readMeasurements(Reader& read, const json& step, const std::string& path, int stepIndex, RunRows& run)
{
    const json* measurements = read.child(step, path, "measurements", json::value_t::array);
    for (size_t i = 0; measurements && i < measurements->size() && read.error.empty(); ++i) {
        const json& m = (*measurements)[i];
        const std::string where = path + ".measurements[" + std::to_string(i) + "]";
        MeasurementRow row;
        row.stepIndex = stepIndex;
        row.index = static_cast<int>(i);
        row.name = read.text(m, where, "name");
        row.value = m.is_object() && m.contains("value") ? valueText(m["value"]) : std::nullopt;
        row.units = read.text(m, where, "units");
        const json* limits = read.child(m, where, "limits", json::value_t::object);
        if (limits) {
            row.low = read.bound(*limits, where + ".limits", "low");
            row.high = read.bound(*limits, where + ".limits", "high");
        }
        row.outcome = read.text(m, where, "outcome");
        run.measurements.push_back(std::move(row));
    }
}

}  // namespace

bool runRowsFromJson(std::string_view text, RunRows& out, std::string& error)
{
    const json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return (error = "not a check record (no JSON object)"), false;
    Reader read;
    RunRows run;
    if (const json* device = read.child(root, "", "device", json::value_t::object)) {
        run.serial = read.text(*device, "device", "serial");
        run.description = read.text(*device, "device", "description");
        run.firmware = read.text(*device, "device", "firmware");
    }
    run.station = read.text(root, "", "station");
    run.operatorName = read.text(root, "", "operator");
    if (const json* program = read.child(root, "", "program", json::value_t::object))
        run.programVersion = read.text(*program, "program", "version");
    if (const json* profile = read.child(root, "", "profile", json::value_t::object)) {
        run.profileName = read.text(*profile, "profile", "name");
        run.profileHash = read.text(*profile, "profile", "hash");
    }
    run.start = read.text(root, "", "start");
    run.end = read.text(root, "", "end");
    run.interrupted = read.flag(root, "", "interrupted");
    run.outcome = read.text(root, "", "outcome");
    const json* steps = read.child(root, "", "steps", json::value_t::array);
    for (size_t i = 0; steps && i < steps->size() && read.error.empty(); ++i) {
        const json& step = (*steps)[i];
        const std::string where = "steps[" + std::to_string(i) + "]";
        StepRow row;
        row.index = static_cast<int>(i);
        row.name = read.text(step, where, "name");
        row.type = read.text(step, where, "type");
        row.optional = read.flag(step, where, "optional");
        row.outcome = read.text(step, where, "outcome");
        row.message = read.text(step, where, "message");
        row.start = read.text(step, where, "start");
        row.durationMs = read.integer(step, where, "durationMs");
        readMeasurements(read, step, where, row.index, run);
        run.steps.push_back(std::move(row));
    }
    if (!read.error.empty())
        return (error = "not a check record: " + read.error), false;
    if (run.serial.empty() || run.start.empty())
        return (error = "not a check record: no serial or no start"), false;
    // Keys sorted and one spacing: the same record gives the same text
    // however its file was laid out.
    run.runId = check::profileHash(root.dump()).substr(sizeof "fnv1a64:" - 1);
    out = std::move(run);
    return true;
}

}  // namespace ktx::results
