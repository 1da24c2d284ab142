#pragma once
// The "1WIRE" tab as the window lists it (the build's area list).
#include "base/ui/TabRegistration.h"

namespace ktx::onewire {

const TabRegistration& tabRegistration();

}  // namespace ktx::onewire
