#include "link/UsbDriver.h"

#include "link/D2xxDriver.h"
#include "link/platform/windows/D2xxApi.h"
#include "base/platform/windows/WideText.h"

namespace ktx {

std::unique_ptr<FtDriver> makeUsbDriver(TimeSource&, std::string& error)
{
    return D2xxDriver::load(utf8FromWide(d2xx::kLibraryName), error);
}

}  // namespace ktx
