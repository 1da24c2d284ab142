#pragma once
// The "485/LLS" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::rs485 {

const TabRegistration& tabRegistration();

}  // namespace ktx::rs485
