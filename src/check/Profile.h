#pragma once
// The test profile: the steps in order, each with its limits. A JSON file;
// the built-in one is printed by --print-profile for a user to start from.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/Record.h"

namespace ktx::check {

struct Range {
    double low = 0;
    double high = 0;
};

struct OutputWiring {
    int output = 1;                 // 1 or 2
    std::optional<int> input;       // the input (1..8) it is wired to, if any
};

struct StepSpec {
    std::string type;  // identification, supply, outputs, counters, gsm, gnss, clock, onewire, rs485, can, accel
    std::string name;
    bool optional = false;
    bool skip = false;

    // identification
    Range firmware{0, 0};
    // supply: volts; an unset one is not measured
    std::optional<Range> supply, battery, ain1, ain2;
    // outputs
    std::vector<OutputWiring> outputs;
    // counters: those with a generator connected (1..8), and the seconds
    // between the two readings
    std::vector<int> generators;
    double counterSeconds = 2;
    // gsm
    int simIndex = 0;
    std::string pin;
    double registrationS = 30;
    std::optional<Range> signal;  // rssi 0..31
    bool gprs = false;
    std::string apn, apnUser, apnPassword;
    bool server = false;
    std::string serverIp, serverPort;
    // gnss
    double fixS = 60;
    std::optional<double> latitude, longitude;
    double radiusM = 0;
    // clock
    double toleranceS = 5;
    // onewire
    std::vector<std::string> sensors;
    int minSensors = 1;
    Range temperature{-40, 85};
    // rs485
    std::vector<std::string> fuelSensors;
    Range level{0, 4095};
    bool extender = false;
    // can
    double frameS = 10;
    std::vector<std::string> values;  // "speed", "engineSpeed"
    // accel
    double countsPerG = 64;
    Range magnitude{0.8, 1.2};
};

struct Profile {
    std::string name;
    std::string hash;  // of the text it was read from
    std::vector<StepSpec> steps;
};

// The built-in profile's JSON text.
std::string_view defaultProfileText();

// Reads a profile; on failure error names the key ("steps[3].pin") and what
// was expected there.
bool parseProfile(std::string_view text, Profile& out, std::string& error);
bool loadProfileFile(const std::string& path, Profile& out, std::string& error);

// "fnv1a64:" and the 64-bit FNV-1a hash of the bytes in hex.
std::string profileHash(std::string_view text);

}  // namespace ktx::check
