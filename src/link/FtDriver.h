#pragma once
// The D2XX operations the console uses, with their published meanings and
// status codes. Backends: libftdi (real hardware), the simulated tracker, and
// the scripted driver of the tests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ktx {

using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_OTHER_ERROR = 18,
};

constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000u;
constexpr uint32_t FT_LIST_ALL = 0x20000000u;
constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2;

constexpr uint32_t FT_PURGE_RX = 1;
constexpr uint32_t FT_PURGE_TX = 2;
constexpr uint8_t FT_BITS_8 = 8;
constexpr uint8_t FT_STOP_BITS_1 = 0;
constexpr uint8_t FT_PARITY_NONE = 0;
constexpr uint16_t FT_FLOW_NONE = 0;

// D2XX fills list buffers of 64 bytes: at most 63 characters and a zero.
constexpr size_t kFtListBufferSize = 64;

// Why the last open or listing failed, beyond D2XX's status: the system
// refused access to a device that is there (no udev rule, user not in the
// group), and the USB libraries' own words for the failure.
struct FtFailure {
    bool accessDenied = false;
    std::string detail;  // empty when the backend has nothing to add
};

class FtDriver {
public:
    virtual ~FtDriver() = default;

    // FT_LIST_NUMBER_ONLY: arg1 is a uint32_t* that receives the count.
    // FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION or FT_OPEN_BY_SERIAL_NUMBER:
    // arg1 is the index cast to a pointer, arg2 a 64-byte char buffer.
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags);

    virtual FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) = 0;
    virtual FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) = 0;
    virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) = 0;
    virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs) = 0;
    virtual FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) = 0;
    // Returns when count bytes have arrived or the read timeout has run out.
    virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) = 0;
    virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
    // Cleared by a successful open.
    virtual FtFailure lastFailure() const { return {}; }

protected:
    virtual FT_STATUS deviceCount(uint32_t& count) = 0;
    // which is FT_OPEN_BY_DESCRIPTION or FT_OPEN_BY_SERIAL_NUMBER.
    virtual FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) = 0;
};

// The baud rate a raw FT_SetDivisor value stands for on the chip's 3 MHz
// clock (divisor 3: 1 000 000 baud), for every backend alike.
uint32_t baudForDivisor(uint16_t divisor);

}  // namespace ktx
