#pragma once
// A check record (its JSON, the source of truth) flattened into the rows the
// results database keeps: the run, its steps, their measurements.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ktx::results {

struct StepRow {
    int index = 0;
    std::string name, type;
    bool optional = false;
    std::string outcome, message, start;
    long long durationMs = 0;
};

struct MeasurementRow {
    int stepIndex = 0;
    int index = 0;  // within its step
    std::string name;
    std::optional<std::string> value;  // numbers as JSON writes them ('.' decimals); none when not read
    std::string units;
    std::optional<double> low, high;
    std::string outcome;
};

struct RunRows {
    // The same record always gets the same id, so storing it twice is a
    // no-op; any difference (station, start, a value) gives another.
    std::string runId;
    std::string serial, description, firmware;
    std::string station, operatorName, programVersion;
    std::string profileName, profileHash;
    std::string start, end;  // "2026-12-09T12:00:00.000Z"
    std::string outcome;
    bool interrupted = false;
    std::vector<StepRow> steps;
    std::vector<MeasurementRow> measurements;
};

// false with the key that is missing or of the wrong kind.
bool runRowsFromJson(std::string_view text, RunRows& out, std::string& error);

}  // namespace ktx::results
