#pragma once
// 1-Wire temperature sensors in the line check: the profile keys of their step.
#include <string>
#include <vector>

#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_onewire {
    std::vector<std::string> sensors;
    int minSensors = 1;
    Range temperature{-40, 85};
};

}  // namespace ktx::check
