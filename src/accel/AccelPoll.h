#pragma once
// One accelerometer poll: "GACCELERATE$" over a fast-opened channel, the
// reply collected up to its ';'.
#include <optional>

#include "accel/AccelReading.h"
#include "link/AppContext.h"

namespace ktx::accel {

struct AccelPollOutcome {
    bool opened = false;  // false: the poll must stop
    std::optional<AccelReading> reading;
};

AccelPollOutcome pollAccelerometer(AppContext& context);

}  // namespace ktx::accel
