#pragma once
// The "GPS/ГЛОНАСС" tab as the window lists it (the build's area list).
#include "base/ui/TabRegistration.h"

namespace ktx::gnss {

const TabRegistration& tabRegistration();

}  // namespace ktx::gnss
