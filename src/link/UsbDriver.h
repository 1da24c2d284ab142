#pragma once
// The driver for real trackers on this system: libftdi on Linux, the
// vendor's D2XX library (ftd2xx.dll, loaded at run time) on Windows.
#include <memory>
#include <string>

#include "link/FtDriver.h"
#include "link/TimeSource.h"

namespace ktx {

// Null, with what is missing in error, when the system's USB driver is not
// there to load.
std::unique_ptr<FtDriver> makeUsbDriver(TimeSource& time, std::string& error);

}  // namespace ktx
