#pragma once
// Supply, inputs, outputs and counters in the simulated tracker: its keys sit
// at the scenario's top level.
#include <array>
#include <cstdint>

#include "sim/SimAreas.h"

namespace ktx::sim {

struct ScenarioSection_io {
    int power = 555;  // raw supply, 10-bit
    int battery = 700;
    int ain1 = 300;
    int ain2 = 400;
    std::array<int, 8> inputs{1, 0, 1, 0, 0, 1, 0, 0};
    std::array<double, 8> counterRates{10, 5, 2, 1, 0.5, 0, 0, 0};  // counts per second
    bool deviceTime = true;      // DEVICE_TEST carries tt=, ADD_TEST a time value
    int64_t deviceTimeStartMs = 1000;  // device time when the simulator starts
    bool longAddTest = true;     // twelve ADD_TEST= fields instead of eight
};

}  // namespace ktx::sim
