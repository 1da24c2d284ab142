#pragma once
// RS-485 fuel sensors and the input extender in the line check: the profile
// keys of their step.
#include <string>
#include <vector>

#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_rs485 {
    std::vector<std::string> fuelSensors;
    Range level{0, 4095};
    bool extender = false;
};

}  // namespace ktx::check
