#pragma once
// The CAN bus in the line check: the profile keys of its step.
#include <string>
#include <vector>

#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_can {
    double frameS = 10;
    std::vector<std::string> values;  // "speed", "engineSpeed"
};

}  // namespace ktx::check
