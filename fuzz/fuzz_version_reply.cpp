// The version reply parser on arbitrary ten-byte (or shorter) texts.
#include <cstdint>
#include <cstring>

#include "link/Identification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char reply[11] = {};
    std::memcpy(reply, data, size < 10 ? size : 10);
    int version = 0;
    bool dral = false;
    ktx::parseVersionReply(reply, version, dral);
    return 0;
}
