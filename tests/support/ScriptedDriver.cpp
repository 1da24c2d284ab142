#include "support/ScriptedDriver.h"

#include <algorithm>
#include <cstring>

namespace ktx::test {

namespace {
FT_HANDLE const kHandle = reinterpret_cast<FT_HANDLE>(0x5EED);
}

FT_STATUS ScriptedDriver::record(const std::string& name, std::vector<int64_t> args, std::string bytes)
{
    calls_.push_back({name, std::move(args), std::move(bytes)});
    const auto failure = failures_.find(name);
    return failure == failures_.end() ? FT_OK : failure->second;
}

std::vector<std::string> ScriptedDriver::callNames() const
{
    std::vector<std::string> names;
    for (const auto& call : calls_)
        names.push_back(call.name);
    return names;
}

int ScriptedDriver::countCalls(const std::string& name) const
{
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const DriverCall& c) { return c.name == name; }));
}

std::string ScriptedDriver::written() const
{
    std::string all;
    for (const auto& call : calls_)
        if (call.name == "FT_Write")
            all += call.bytes;
    return all;
}

std::vector<std::string> ScriptedDriver::writes() const
{
    std::vector<std::string> all;
    for (const auto& call : calls_)
        if (call.name == "FT_Write")
            all.push_back(call.bytes);
    return all;
}

FT_STATUS ScriptedDriver::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    const FT_STATUS status = record("FT_Open", {deviceNumber});
    if (status == FT_OK)
        *handle = kHandle;
    return status;
}

FT_STATUS ScriptedDriver::FT_SetBaudRate(FT_HANDLE, uint32_t baudRate) { return record("FT_SetBaudRate", {baudRate}); }
FT_STATUS ScriptedDriver::FT_SetDivisor(FT_HANDLE, uint16_t divisor) { return record("FT_SetDivisor", {divisor}); }

FT_STATUS ScriptedDriver::FT_SetTimeouts(FT_HANDLE, uint32_t readTimeoutMs, uint32_t writeTimeoutMs)
{
    const FT_STATUS status = record("FT_SetTimeouts", {readTimeoutMs, writeTimeoutMs});
    if (status == FT_OK)
        readTimeoutMs_ = readTimeoutMs;
    return status;
}

FT_STATUS ScriptedDriver::FT_SetDataCharacteristics(FT_HANDLE, uint8_t wordLength, uint8_t stopBits, uint8_t parity)
{
    return record("FT_SetDataCharacteristics", {wordLength, stopBits, parity});
}

FT_STATUS ScriptedDriver::FT_SetFlowControl(FT_HANDLE, uint16_t flowControl, uint8_t xon, uint8_t xoff)
{
    return record("FT_SetFlowControl", {flowControl, xon, xoff});
}

FT_STATUS ScriptedDriver::FT_SetLatencyTimer(FT_HANDLE, uint8_t latencyMs) { return record("FT_SetLatencyTimer", {latencyMs}); }

FT_STATUS ScriptedDriver::FT_Purge(FT_HANDLE, uint32_t mask)
{
    const FT_STATUS status = record("FT_Purge", {mask});
    if (status == FT_OK && (mask & FT_PURGE_RX))
        received_.clear();
    return status;
}

FT_STATUS ScriptedDriver::FT_Write(FT_HANDLE, const void* buffer, uint32_t count, uint32_t* written)
{
    std::string bytes(static_cast<const char*>(buffer), count);
    const FT_STATUS status = record("FT_Write", {count}, bytes);
    *written = status == FT_OK ? count : 0;
    if (status == FT_OK) {
        const auto answer = answers_.find(bytes);
        if (answer != answers_.end())
            script_.insert(script_.end(), answer->second.begin(), answer->second.end());
    }
    return status;
}

FT_STATUS ScriptedDriver::FT_Read(FT_HANDLE, void* buffer, uint32_t count, uint32_t* received)
{
    const FT_STATUS status = record("FT_Read", {count});
    *received = 0;
    if (status != FT_OK)
        return status;
    if (received_.empty() && !script_.empty()) {
        received_ = script_.front();
        script_.pop_front();
    }
    const uint32_t taken = std::min<uint32_t>(count, static_cast<uint32_t>(received_.size()));
    std::memcpy(buffer, received_.data(), taken);
    received_.erase(0, taken);
    *received = taken;
    if (time_ && taken < count)
        time_->sleepMs(readTimeoutMs_);
    return FT_OK;
}

FT_STATUS ScriptedDriver::FT_ResetDevice(FT_HANDLE) { return record("FT_ResetDevice", {}); }
FT_STATUS ScriptedDriver::FT_Close(FT_HANDLE) { return record("FT_Close", {}); }

FT_STATUS ScriptedDriver::deviceCount(uint32_t& count)
{
    const FT_STATUS status = record("FT_ListDevices", {-1});
    count = static_cast<uint32_t>(devices_.size());
    return status;
}

FT_STATUS ScriptedDriver::deviceString(uint32_t index, uint32_t which, std::string& text)
{
    const FT_STATUS status = record(which == FT_OPEN_BY_DESCRIPTION ? "FT_ListDescription" : "FT_ListSerial", {index});
    if (status != FT_OK)
        return status;
    if (index >= devices_.size())
        return FT_DEVICE_NOT_FOUND;
    text = which == FT_OPEN_BY_DESCRIPTION ? devices_[index].description : devices_[index].serial;
    return FT_OK;
}

}  // namespace ktx::test
