#pragma once
// The accelerometer in the line check: the profile keys of its step.
#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_accel {
    double countsPerG = 64;
    Range magnitude{0.8, 1.2};
};

}  // namespace ktx::check
