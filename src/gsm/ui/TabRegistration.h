#pragma once
// The "GSM/GPRS" tab as the window lists it (the build's area list).
#include "base/ui/TabRegistration.h"

namespace ktx::gsm {

const TabRegistration& tabRegistration();

}  // namespace ktx::gsm
