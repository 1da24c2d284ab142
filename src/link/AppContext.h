#pragma once
// What every area's core needs from the window: the channel, the clock, the
// consoles and what identification found.
#include <string>

#include "base/LogSink.h"
#include "link/TimeSource.h"
#include "link/UsbLink.h"

namespace ktx {

class DeviceActions;

// Filled by device identification; read by the areas.
struct DeviceInfo {
    std::string serialText = "10000";  // the serial number as the USB string gave it; "10000" until one does
    int version = 0;                   // firmware version number, 0 until understood
    bool dral = false;
    int index = -1;                    // FTDI index of the identified tracker, -1 none
    std::string versionText = "PENK-0.0g";  // the version reply as it came; the placeholder until one does
};

struct AppContext {
    UsbLink& link;
    TimeSource& time;
    LogSink& log;
    DeviceInfo& device;
    // The window's queue of device actions; null: handlers run at once.
    DeviceActions* actions = nullptr;
};

}  // namespace ktx
