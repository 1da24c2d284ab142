#pragma once
// The console's one channel to the tracker: opened at the start of each
// action, closed at its end on every path.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/FtDriver.h"
#include "link/TimeSource.h"

namespace ktx {

constexpr uint32_t kLinkBaudRate = 115200;
constexpr uint32_t kFastTimeoutMs = 1;
constexpr uint32_t kNormalTimeoutMs = 100;
constexpr uint16_t kUpdateLinkDivisor = 3;

// How a command's reply is read.
struct ReplyWait {
    uint32_t sleepMs = 0;     // waited after sending, before the first read
    uint32_t emptyReads = 0;  // 0: one read; else the empty reads allowed
};

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
    // Sends command (after a purge), waits wait.sleepMs, then reads the reply
    // into bytes: one read, or until a terminator, capacity bytes or
    // wait.emptyReads empty reads. bytes[capacity] is left alone, so a
    // zeroed buffer stays a terminated string. Gives the count received.
    uint32_t Exchange(std::string_view command, char* bytes, uint32_t capacity, ReplyWait wait = {});
    // A LinkSession holds the link: any other open is refused until it ends,
    // so two actions never share the channel unawares.
    bool inSession() const { return inSession_; }

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
    friend class LinkSession;
    FT_HANDLE handle_ = nullptr;
    bool inSession_ = false;
    uint32_t transferred_ = 0;
    std::string pendingCommand_;
    int deviceIndex_ = 0;
    FtFailure openFailure_;
};

// The debug console's line for an open refused during a session, in
// Windows-1251.
const std::string& reopenRefusedText();

}  // namespace ktx
