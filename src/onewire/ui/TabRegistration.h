#pragma once
// The "1WIRE" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::onewire {

const TabRegistration& tabRegistration();

}  // namespace ktx::onewire
