#pragma once
// The D2XX operations on real FTDI chips through libftdi1 (and libusb).
//
// Devices are the FTDI USB-serial chips libftdi knows by default (vendor
// 0x0403, products 0x6001, 0x6010, 0x6011, 0x6014, 0x6015), one entry per USB
// device, opened on its first interface. The list is taken by the count call
// and kept, so an index means the same device for the string calls and opens
// that follow it. Description and serial are handed over as Windows-1251
// bytes, as the vendor's driver gives them on a Russian Windows.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/FtDriver.h"
#include "link/TimeSource.h"

struct ftdi_context;

namespace ktx {

class LibFtdiDriver : public FtDriver {
public:
    // Read timeouts are measured and waited out on the program's time source.
    explicit LibFtdiDriver(TimeSource& time);
    ~LibFtdiDriver() override;
    LibFtdiDriver(const LibFtdiDriver&) = delete;
    LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) override;
    // Raw D2XX divisor: 14 bits of integer divisor of the 3 MHz base and two
    // bits of fraction (0, 1/2, 1/4, 1/8); 0 means 3 Mbaud and 1 means 2 Mbaud.
    // Turned into the baud rate it stands for and set with ftdi_set_baudrate,
    // so libftdi encodes it for the chip type at hand (H chips included).
    FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override;
    // 0 is D2XX's "no timeout"; here it is bounded by kNoTimeoutBoundMs.
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override;
    // libftdi refuses a latency of 0: it is taken as 1 ms.
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FtFailure lastFailure() const override { return failure_; }

    // The text of a USB string descriptor (length, type 3, UTF-16LE) as the
    // vendor's driver hands it over: Windows-1251, '?' for characters it
    // has no form for. False when it is no string descriptor.
    static bool textOfStringDescriptor(const unsigned char* descriptor, size_t length, std::string& text);

    // Bound put on a timeout of 0 (D2XX: wait without end).
    static constexpr uint32_t kNoTimeoutBoundMs = 5000;
    // Shortest timeout given to one USB read transfer. libftdi throws away the
    // data of a bulk read that times out, so a transfer must be allowed to
    // outlast the chip's latency timer; FT_Read keeps its own deadline on top.
    static constexpr uint32_t kMinTransferTimeoutMs = 50;

protected:
    FT_STATUS deviceCount(uint32_t& count) override;
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override;

private:
    struct Listed {
        uint8_t bus = 0;
        uint8_t address = 0;
        std::vector<uint8_t> ports;  // physical path, for a stable order
        std::string description;
        std::string serial;
        bool descriptionRead = false;
        bool serialRead = false;
        FtFailure openFailure;  // why the strings could not be read
    };
    struct Opened {
        ftdi_context* ftdi = nullptr;
        uint32_t readTimeoutMs = kNoTimeoutBoundMs;
        uint32_t writeTimeoutMs = kNoTimeoutBoundMs;
        uint32_t latencyMs = 16;
        uint32_t baudRate = 9600;
    };

    // Takes the list anew; false when USB can't be reached (list left empty).
    bool refreshList();
    // Opens the FTDI device now plugged where the listed one was.
    FT_STATUS openListed(const Listed& device, FT_HANDLE* handle);
    static void updateReadTransferTimeout(Opened& open);
    static int writeTransferTimeout(const Opened& open, uint32_t bytes);
    Opened* find(FT_HANDLE handle);
    void releaseAll();

    TimeSource& time_;
    std::vector<Listed> devices_;
    // Handles are numbers never handed out twice, so a closed or made-up handle
    // is recognised without touching freed memory.
    std::map<uintptr_t, std::unique_ptr<Opened>> opened_;
    uintptr_t nextHandle_ = 1;
    FtFailure failure_;
};

}  // namespace ktx
