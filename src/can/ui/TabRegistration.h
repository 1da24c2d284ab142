#pragma once
// The "CAN" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::can {

const TabRegistration& tabRegistration();

}  // namespace ktx::can
