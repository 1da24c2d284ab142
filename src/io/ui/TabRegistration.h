#pragma once
// The "Входы и выходы" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::io {

const TabRegistration& tabRegistration();

}  // namespace ktx::io
