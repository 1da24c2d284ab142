#pragma once
// Scenario values of the 1-Wire bus and its sensors, read from the scenario's "onewire" object.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ktx::sim {

enum class SensorFault {
    None,
    NoReading,  // answers the firmware's -55.0000
    Garbage,    // answers a reply that holds no number
    Silent,     // answers nothing
};

struct TemperatureSensor {
    std::string address;  // twelve hex digits, as the identifier read shows them
    double temperature = 20.0;
    SensorFault fault = SensorFault::None;
};

struct OneWireScenario {
    // ROM codes (8 bytes, family code first) that answer the identifier
    // read: one is read as it is, several collide as on a wired-AND bus,
    // none gives "false".
    std::vector<std::array<uint8_t, 8>> bus{{0x28, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x1E}};
    std::vector<TemperatureSensor> sensors = {
        {"a2b3c4d5e6f7", 23.875, SensorFault::None},
        {"a2b3c4d5e6f8", 21.5, SensorFault::None},
        {"0c1d2e3f4a5b", -17.5, SensorFault::None},
        {"1b00000a3c44", 4.0625, SensorFault::None},
        {"5e11f2a8c903", 36.6, SensorFault::None},
        {"77a0b1c2d3e4", -5.25, SensorFault::None},
        {"00e4f5a6b7c8", 85.0, SensorFault::None},
        {"3a9b8c7d6e5f", 12.125, SensorFault::None},
    };
    int noise = 0;           // +- steps of 1/16 degree on every reading
    int shortIdReplies = 0;  // the first N identifier replies are 19 bytes; negative: all
};

constexpr size_t kMaxOneWireSensors = 64;

}  // namespace ktx::sim
