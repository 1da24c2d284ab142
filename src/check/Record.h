#pragma once
// What one run of the check keeps: the device, where and by whom it was
// checked, and every step with its measurements and exchanges.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ktx::check {

// From best to worst; a step's and a run's outcome is the worst of theirs.
// Skipped counts as nothing: a run of skipped steps only passes.
enum class Outcome { Skipped, Pass, Marginal, Fail, Error };

const char* outcomeName(Outcome outcome);  // "pass", "marginal", ...
Outcome worse(Outcome a, Outcome b);

struct Limits {
    std::optional<double> low;
    std::optional<double> high;
};

struct Measurement {
    std::string name;
    nlohmann::json value;  // number, text, true/false, or null when not read
    std::string units;
    Limits limits;
    Outcome outcome = Outcome::Pass;
};

struct Exchange {
    int64_t atMs = 0;  // since the step began
    std::string kind;  // "sent", "received" or "console"
    std::string text;  // UTF-8; bytes that are no text as \xNN
};

struct StepRecord {
    std::string name;
    std::string type;
    bool optional = false;
    Outcome outcome = Outcome::Skipped;
    std::string message;  // why it failed, or empty
    int64_t startUtcMs = 0;
    int64_t durationMs = 0;
    std::vector<Measurement> measurements;
    std::vector<Exchange> log;
};

struct DeviceRecord {
    std::string serial;
    std::string description;
    std::string firmware;  // the version reply as read
    int version = 0;       // its number, 0 when not understood
};

struct RunRecord {
    DeviceRecord device;
    std::string station;
    std::string operatorName;
    std::string programVersion;
    std::string profileName;
    std::string profileHash;  // "fnv1a64:<16 hex digits>" of the profile text
    int64_t startUtcMs = 0;
    int64_t endUtcMs = 0;
    bool interrupted = false;
    Outcome outcome = Outcome::Skipped;
    std::vector<StepRecord> steps;
    // What the closing cleanup sent and read: outputs off, modem off.
    std::vector<Exchange> cleanupLog;
};

// A run in which no step measured anything (every one skipped) tested
// nothing: its verdict is "not tested", never a pass.
bool nothingTested(const RunRecord& record);
// The run's verdict: outcomeName() of its outcome, or "not tested".
const char* verdictName(const RunRecord& record);

// "2026-12-09T12:00:00.000Z"
std::string isoTime(int64_t utcMs);

}  // namespace ktx::check
