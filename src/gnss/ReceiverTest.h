#pragma once
// The receiver's three one-shot exchanges: the antenna reading, switching
// the receiver on, and the last fix. Each opens the channel (normal
// timeouts) and closes it again; a failed open ends it silently.
#include <cstdint>
#include <optional>
#include <string>

#include "link/AppContext.h"
#include "gnss/PointFix.h"

namespace ktx::gnss {

// "ADD_TEST$": the antenna reading, unset when the channel did not open or
// the reply carried fewer than ten integers.
std::optional<int32_t> requestAntennaReading(AppContext& context);

// "GPS_START$", 2 s for the receiver to power up; the reply is not judged.
void startReceiver(AppContext& context);

struct PositionReply {
    bool opened = false;
    std::string raw;  // the reply text as read (Windows-1251), for READEDTIME
    PointWords words;
};
// "GPOINT$".
PositionReply requestPosition(AppContext& context);

}  // namespace ktx::gnss
