#pragma once
// The "Акселерометр" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::accel {

const TabRegistration& tabRegistration();

}  // namespace ktx::accel
