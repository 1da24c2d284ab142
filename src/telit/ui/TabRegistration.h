#pragma once
// The "TELIT" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::telit {

const TabRegistration& tabRegistration();

}  // namespace ktx::telit
