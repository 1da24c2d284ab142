#pragma once
// What every area's core needs from the window: the channel, the clock, the
// consoles and what identification found.
#include <string>

#include "base/LogSink.h"
#include "link/TimeSource.h"
#include "link/UsbLink.h"

namespace ktx {

// Filled by device identification; read by the areas.
struct DeviceInfo {
    std::string serialText = "10000";  // SerPanel's caption, as the USB string gave it
    int version = 0;                   // firmware version number, 0 until understood
    bool dral = false;
    int index = -1;                    // FTDI index of the identified tracker, -1 none
    std::string versionText{};         // the firmware's version reply, as VerLabel shows it
};

struct AppContext {
    UsbLink& link;
    TimeSource& time;
    LogSink& log;
    DeviceInfo& device;
};

}  // namespace ktx
