#pragma once
// The modem's firmware update adds no step to the line check.
#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_telit {};

}  // namespace ktx::check
