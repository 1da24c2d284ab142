// USB string descriptors as a device may send them: the text must stay
// within one Windows-1251 byte per UTF-16 unit the descriptor holds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/LibFtdiDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text;
    if (ktx::LibFtdiDriver::textOfStringDescriptor(data, size, text)) {
        const size_t units = size >= 2 && data[0] >= 2 ? (std::min<size_t>(size, data[0]) - 2) / 2 : 0;
        if (text.size() > units)
            std::abort();
    }
    return 0;
}
