#pragma once
// The D2XX operations on real FTDI chips through the vendor's own driver on
// Windows (ftd2xx.dll), loaded when the driver is made: nothing of it is
// linked in, so the program starts without it and says what is missing.
// Descriptions and serials are the library's bytes (Windows-1251 on a
// Russian Windows), as the other back ends hand them over.
#include <memory>
#include <string>

#include "link/FtDriver.h"

namespace ktx {

class D2xxDriver : public FtDriver {
public:
    // Null, with the reason in error, when the library or one of the calls
    // the console uses cannot be found. libraryName is UTF-8.
    static std::unique_ptr<D2xxDriver> load(const std::string& libraryName, std::string& error);
    ~D2xxDriver() override;
    D2xxDriver(const D2xxDriver&) = delete;
    D2xxDriver& operator=(const D2xxDriver&) = delete;

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) override;
    FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override;
    // 0 is D2XX's "no timeout"; here it is bounded by kNoTimeoutBoundMs.
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FtFailure lastFailure() const override { return failure_; }

    static constexpr uint32_t kNoTimeoutBoundMs = 5000;

protected:
    FT_STATUS deviceCount(uint32_t& count) override;
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override;

private:
    struct Calls;
    D2xxDriver(void* module, std::unique_ptr<Calls> calls);

    void* module_;
    std::unique_ptr<Calls> calls_;
    FtFailure failure_;
};

}  // namespace ktx
