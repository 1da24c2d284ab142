#include "link/FtDriver.h"

#include <algorithm>
#include <cstring>

namespace ktx {

FT_STATUS FtDriver::FT_ListDevices(void* arg1, void* arg2, uint32_t flags)
{
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (!arg1)
            return FT_INVALID_PARAMETER;
        uint32_t count = 0;
        const FT_STATUS status = deviceCount(count);
        *static_cast<uint32_t*>(arg1) = status == FT_OK ? count : 0;
        return status;
    }
    if (!(flags & FT_LIST_BY_INDEX) || !arg2)
        return FT_INVALID_PARAMETER;
    const uint32_t which = flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER);
    if (which != FT_OPEN_BY_DESCRIPTION && which != FT_OPEN_BY_SERIAL_NUMBER)
        return FT_INVALID_PARAMETER;
    const auto index = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg1));
    std::string text;
    const FT_STATUS status = deviceString(index, which, text);
    if (status != FT_OK)
        return status;
    // A USB string may be longer than D2XX's buffer or hold zero bytes: cut it.
    const size_t length = std::min(text.size(), kFtListBufferSize - 1);
    std::memcpy(arg2, text.data(), length);
    static_cast<char*>(arg2)[length] = '\0';
    return FT_OK;
}

uint32_t baudForDivisor(uint16_t divisor)
{
    const uint32_t whole = divisor & 0x3FFFu;
    if (whole == 0)
        return 3000000;
    if (whole == 1)
        return 2000000;
    static constexpr uint32_t kEighths[4] = {0, 4, 2, 1};  // 0, 1/2, 1/4, 1/8
    const uint32_t eighths = whole * 8 + kEighths[divisor >> 14];
    return static_cast<uint32_t>((uint64_t(3000000) * 8 + eighths / 2) / eighths);
}

}  // namespace ktx
