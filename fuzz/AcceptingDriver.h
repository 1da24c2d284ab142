#pragma once
// A driver for fuzz targets that accepts every call; a target only says how
// its reads hand out the fuzz bytes.
#include <cstdint>
#include <string>

#include "link/FtDriver.h"

namespace ktx::fuzz {

class AcceptingDriver : public FtDriver {
public:
    FT_STATUS FT_Open(int, FT_HANDLE* handle) override { *handle = this; return FT_OK; }
    FT_STATUS FT_SetBaudRate(FT_HANDLE, uint32_t) override { return FT_OK; }
    FT_STATUS FT_SetDivisor(FT_HANDLE, uint16_t) override { return FT_OK; }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, uint32_t, uint32_t) override { return FT_OK; }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE, uint8_t, uint8_t, uint8_t) override { return FT_OK; }
    FT_STATUS FT_SetFlowControl(FT_HANDLE, uint16_t, uint8_t, uint8_t) override { return FT_OK; }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE, uint8_t) override { return FT_OK; }
    FT_STATUS FT_Purge(FT_HANDLE, uint32_t) override { return FT_OK; }
    FT_STATUS FT_Write(FT_HANDLE, const void*, uint32_t count, uint32_t* written) override
    {
        *written = count;
        return FT_OK;
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE) override { return FT_OK; }
    FT_STATUS FT_Close(FT_HANDLE) override { return FT_OK; }

protected:
    FT_STATUS deviceCount(uint32_t& count) override { count = 1; return FT_OK; }
    FT_STATUS deviceString(uint32_t, uint32_t, std::string&) override { return FT_DEVICE_NOT_FOUND; }
};

}  // namespace ktx::fuzz
