#pragma once
// The "GSM/GPRS" tab as the window lists it (the build's area list).
#include "widgets/TabRegistration.h"

namespace ktx::gsm {

const TabRegistration& tabRegistration();

}  // namespace ktx::gsm
