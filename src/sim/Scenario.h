#pragma once
// What the simulated tracker is and how it behaves: identity, reply timing,
// input values, counters and injected faults. Read from a JSON file given to
// --simulate; every key is optional.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/SimAreas.h"
#include "sim/SimRegistrations.h"

namespace ktx::sim {

struct Faults {
    // Shares of replies affected, 0 (never) to 1 (always); JSON true is 1.
    double silent = 0;        // the reply is dropped
    double shortReplies = 0;  // only the first half of the reply is sent
    double garbage = 0;       // the reply is replaced by bytes without ';' or LF
    double lineBreaks = 0;    // a CR LF is put in the middle of the reply
    double floods = 0;        // the reply is followed by binary bytes up to the 64 KiB receive buffer
    // Milliseconds after the simulator started when the device is pulled out;
    // negative: never.
    int64_t unplugAtMs = -1;
    // Milliseconds after start when it is plugged back in (a new device to
    // the driver: listed and openable again); negative: never. Only after
    // unplugAtMs.
    int64_t replugAtMs = -1;
    // The first N version replies are 9 bytes instead of 10; negative: all.
    int shortVersionReplies = 0;
};

// The keys every area shares: identity, reply timing, randomness, faults.
struct SharedScenario {
    std::string description = "Korvantix";  // FTDI description string
    std::string serial = "1234567";         // FTDI serial-number string
    std::string version = "SUMI-5.7ab";     // FL_READ_VERSION$ reply

    int latencyMs = 5;           // from command to first reply byte
    int chunkBytes = 64;         // reply bytes per USB transfer
    int chunkIntervalUs = 1000;  // time between two transfers

    int noise = 3;               // +- counts on the analogue values
    uint64_t seed = 1;

    Faults faults;
};

// The shared keys and each area's own section, one per area of the list.
#define KTX_SCENARIO_SECTION(area) , ScenarioSection_##area
struct Scenario : SharedScenario KTX_FOR_EACH_AREA(KTX_SCENARIO_SECTION) {};
#undef KTX_SCENARIO_SECTION

// Largest scenario file and text accepted.
constexpr size_t kMaxScenarioBytes = 1 << 20;
// USB string descriptors hold at most 126 characters.
constexpr size_t kMaxUsbStringLength = 126;
constexpr size_t kMaxVersionLength = 63;

Scenario defaultScenario();

// Starts from defaultScenario() and overrides the keys present. Unknown keys
// are ignored; a key of the wrong type or out of range fails with a message
// naming it. On failure out is left unchanged.
bool parseScenario(std::string_view json, Scenario& out, std::string& error);
bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error);

}  // namespace ktx::sim
