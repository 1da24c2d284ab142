#pragma once
// The "GPS/ГЛОНАСС" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::gnss {

const TabRegistration& tabRegistration();

}  // namespace ktx::gnss
