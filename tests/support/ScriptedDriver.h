#pragma once
// A driver for tests: records every call and every written byte, plays back
// scripted read chunks and empty reads, and can make any call fail.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/FtDriver.h"
#include "link/VirtualTimeSource.h"

namespace ktx::test {

struct DriverCall {
    std::string name;   // "FT_Open", "FT_SetTimeouts", ...
    std::vector<int64_t> args;
    std::string bytes;  // FT_Write's bytes
};

struct ListedDevice {
    std::string description;
    std::string serial;
};

class ScriptedDriver : public FtDriver {
public:
    // With a time source, every empty or short read waits out the read timeout
    // set by FT_SetTimeouts on it, as the real driver does.
    explicit ScriptedDriver(VirtualTimeSource* time = nullptr) : time_(time) {}

    // Bytes already waiting in the receive buffer (a purge drops them).
    void queueReceived(const std::string& bytes) { received_ += bytes; }
    // One FT_Read result each: the chunk (cut to the read's count, the rest
    // kept for the next read) or, when empty, a read that times out.
    void scriptRead(const std::string& chunk) { script_.push_back(chunk); }
    void scriptEmptyReads(int count) { for (int i = 0; i < count; ++i) script_.push_back(""); }
    // Answers a written command by queueing chunks for the next reads.
    void onCommand(const std::string& command, std::vector<std::string> chunks) { answers_[command] = std::move(chunks); }
    void failCall(const std::string& name, FT_STATUS status = FT_IO_ERROR) { failures_[name] = status; }
    // Every open fails as when the system refuses the device node.
    void denyAccess(std::string detail)
    {
        failCall("FT_Open", FT_DEVICE_NOT_OPENED);
        denied_ = FtFailure{true, std::move(detail)};
    }
    FtFailure lastFailure() const override { return denied_; }
    void setDevices(std::vector<ListedDevice> devices) { devices_ = std::move(devices); }

    const std::vector<DriverCall>& calls() const { return calls_; }
    std::vector<std::string> callNames() const;
    int countCalls(const std::string& name) const;
    std::string written() const;              // every byte written, in order
    std::vector<std::string> writes() const;  // one entry per FT_Write
    int readCount() const { return countCalls("FT_Read"); }
    void clearCalls() { calls_.clear(); }

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) override;
    FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

protected:
    FT_STATUS deviceCount(uint32_t& count) override;
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override;

private:
    FT_STATUS record(const std::string& name, std::vector<int64_t> args, std::string bytes = {});

    VirtualTimeSource* time_;
    uint32_t readTimeoutMs_ = 0;
    std::string received_;
    std::deque<std::string> script_;
    std::map<std::string, std::vector<std::string>> answers_;
    std::map<std::string, FT_STATUS> failures_;
    FtFailure denied_;
    std::vector<ListedDevice> devices_;
    std::vector<DriverCall> calls_;
};

}  // namespace ktx::test
