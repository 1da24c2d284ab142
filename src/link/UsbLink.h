#pragma once
// The console's one channel to the tracker: opened at the start of each
// action, closed at its end on every path.
#include <cstdint>
#include <string>

#include "link/FtDriver.h"
#include "link/TimeSource.h"

namespace ktx {

constexpr uint32_t kLinkBaudRate = 115200;
constexpr uint32_t kFastTimeoutMs = 1;
constexpr uint32_t kNormalTimeoutMs = 100;
constexpr uint16_t kUpdateLinkDivisor = 3;

class UsbLink {
public:
    UsbLink(FtDriver& driver, TimeSource& time) : driver_(driver), time_(time) {}

    // Opens the tracker chosen by identification (device 0 until one is
    // identified) with fixed serial settings; fast selects 1 ms timeouts.
    bool OpenLink(bool fast);
    // The modem firmware update's own open: divisor 3 (1 000 000 baud on the
    // chip's 3 MHz base), 1 ms reads, writes without a timeout of their own.
    bool OpenUpdateLink();
    void PurgeLink();
    void FormatCommand(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void WriteCommand();
    void SendCommand(const char* text);
    // One read of at most n bytes.
    void ReadReply(void* buffer, uint32_t n);
    // Reads until a ';' or '\n' arrived, n bytes arrived, or budget empty
    // reads were made; at least one read is always made.
    void AwaitReply(void* buffer, uint32_t n, uint32_t budget);
    void CloseLink();

    uint32_t transferred() const { return transferred_; }
    const std::string& pendingCommand() const { return pendingCommand_; }
    uint32_t ReadBudget = 0;

    // Index of the FTDI device that OpenLink opens.
    void setDeviceIndex(int index) { deviceIndex_ = index; }
    int deviceIndex() const { return deviceIndex_; }

    FtDriver& driver() { return driver_; }
    TimeSource& time() { return time_; }
    FT_HANDLE handle() const { return handle_; }
    // Why the last open failed; empty after one that succeeded.
    const FtFailure& openFailure() const { return openFailure_; }

private:
    bool openDevice();

    FtDriver& driver_;
    TimeSource& time_;
    FT_HANDLE handle_ = nullptr;
    uint32_t transferred_ = 0;
    std::string pendingCommand_;
    int deviceIndex_ = 0;
    FtFailure openFailure_;
};

}  // namespace ktx
