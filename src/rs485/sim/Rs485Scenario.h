#pragma once
// Scenario values of the RS-485 fuel level sensors and the input extender, read from the scenario's "rs485" object.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ktx::sim {

struct FuelSensor {
    std::string address;  // bus address as the console sends it
    int level = 0;        // raw level reading
    int temperature = 20;
};

struct Rs485Scenario {
    std::vector<FuelSensor> fuelSensors = {
        {"1", 3120, 21}, {"2", 2480, 22}, {"3", 1750, 20}, {"4", 960, 19},
        {"5", 4000, 23}, {"6", 410, 18}, {"7", 2890, 24}, {"8", 1305, 21},
    };
    int levelNoise = 0;  // +- counts on every level reading
    bool extenderPresent = true;
    // Inputs 9 to 24 as the console should show them (1 or 0).
    std::array<int, 16> extenderInputs{1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 1, 1};
    double badChecksum = 0;  // share of extender answers with a wrong CRC byte
};

constexpr size_t kMaxFuelSensors = 256;

}  // namespace ktx::sim
