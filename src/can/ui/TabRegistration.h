#pragma once
// The "CAN" tab as the window lists it (the build's area list).
#include "base/ui/TabRegistration.h"

namespace ktx::can {

const TabRegistration& tabRegistration();

}  // namespace ktx::can
