#pragma once
// What the simulated tracker is and how it behaves: identity, reply timing,
// input values, counters and injected faults. Read from a JSON file given to
// --simulate; every key is optional.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/ModemScenario.h"
#include "sim/TelitScenario.h"
#include "sim/GnssScenario.h"
#include "sim/AccelScenario.h"
#include "sim/OneWireScenario.h"
#include "sim/Rs485Scenario.h"
#include "sim/CanScenario.h"

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

struct Scenario {
    std::string description = "Korvantix";  // FTDI description string
    std::string serial = "1234567";         // FTDI serial-number string
    std::string version = "SUMI-5.7ab";     // FL_READ_VERSION$ reply

    int latencyMs = 5;           // from command to first reply byte
    int chunkBytes = 64;         // reply bytes per USB transfer
    int chunkIntervalUs = 1000;  // time between two transfers

    int power = 555;  // raw supply, 10-bit
    int battery = 700;
    int ain1 = 300;
    int ain2 = 400;
    std::array<int, 8> inputs{1, 0, 1, 0, 0, 1, 0, 0};
    std::array<double, 8> counterRates{10, 5, 2, 1, 0.5, 0, 0, 0};  // counts per second
    int noise = 3;               // +- counts on the analogue values
    uint64_t seed = 1;
    bool deviceTime = true;      // DEVICE_TEST carries tt=, ADD_TEST a time value
    int64_t deviceTimeStartMs = 1000;  // device time when the simulator starts
    bool longAddTest = true;     // twelve ADD_TEST= fields instead of eight

    Faults faults;
    // Each area's own section.
    ModemScenario modem;
    TelitScenario telit;
    GnssScenario gnss;
    AccelScenario accel;
    OneWireScenario onewire;
    Rs485Scenario rs485;
    CanScenario can;
};

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
