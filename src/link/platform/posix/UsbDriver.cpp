#include "link/UsbDriver.h"

#include "link/LibFtdiDriver.h"

namespace ktx {

std::unique_ptr<FtDriver> makeUsbDriver(TimeSource& time, std::string&)
{
    return std::make_unique<LibFtdiDriver>(time);
}

}  // namespace ktx
