#include "link/D2xxDriver.h"

#include <cstring>

#include "base/platform/windows/WideText.h"
#include "link/platform/windows/D2xxApi.h"

namespace ktx {

struct D2xxDriver::Calls {
    d2xx::ListDevicesCall listDevices = nullptr;
    d2xx::OpenCall open = nullptr;
    d2xx::CloseCall close = nullptr;
    d2xx::ResetDeviceCall resetDevice = nullptr;
    d2xx::SetBaudRateCall setBaudRate = nullptr;
    d2xx::SetDivisorCall setDivisor = nullptr;
    d2xx::SetTimeoutsCall setTimeouts = nullptr;
    d2xx::SetDataCharacteristicsCall setDataCharacteristics = nullptr;
    d2xx::SetFlowControlCall setFlowControl = nullptr;
    d2xx::SetLatencyTimerCall setLatencyTimer = nullptr;
    d2xx::PurgeCall purge = nullptr;
    d2xx::WriteCall write = nullptr;
    d2xx::ReadCall read = nullptr;
};

namespace {

const char kNotInstalled[] = "the FTDI D2XX driver is not installed: ";

// The system's words for the last error, without the line end it adds.
std::string lastErrorText()
{
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
            | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length > 0 ? utf8FromWide(std::wstring_view(text, length)) : std::string();
    if (text)
        LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' || words.back() == '.'))
        words.pop_back();
    return words.empty() ? "error " + std::to_string(code) : words + " (error " + std::to_string(code) + ")";
}

template <typename Call>
bool bind(HMODULE module, const char* name, Call& call, const std::string& libraryName, std::string& error)
{
    call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!call)
        error = kNotInstalled + libraryName + " has no " + name;
    return call != nullptr;
}

const char* statusName(FT_STATUS status)
{
    static const char* const kNames[] = {"FT_OK", "FT_INVALID_HANDLE", "FT_DEVICE_NOT_FOUND", "FT_DEVICE_NOT_OPENED",
        "FT_IO_ERROR", "FT_INSUFFICIENT_RESOURCES", "FT_INVALID_PARAMETER", "FT_INVALID_BAUD_RATE"};
    return status < std::size(kNames) ? kNames[status] : "FT_OTHER_ERROR";
}

}  // namespace

std::unique_ptr<D2xxDriver> D2xxDriver::load(const std::string& libraryName, std::string& error)
{
    const HMODULE module = LoadLibraryW(wideFromUtf8(libraryName).c_str());
    if (!module) {
        error = kNotInstalled + libraryName + " could not be loaded: " + lastErrorText();
        return nullptr;
    }
    auto calls = std::make_unique<Calls>();
    const bool bound = bind(module, "FT_ListDevices", calls->listDevices, libraryName, error)
        && bind(module, "FT_Open", calls->open, libraryName, error)
        && bind(module, "FT_Close", calls->close, libraryName, error)
        && bind(module, "FT_ResetDevice", calls->resetDevice, libraryName, error)
        && bind(module, "FT_SetBaudRate", calls->setBaudRate, libraryName, error)
        && bind(module, "FT_SetDivisor", calls->setDivisor, libraryName, error)
        && bind(module, "FT_SetTimeouts", calls->setTimeouts, libraryName, error)
        && bind(module, "FT_SetDataCharacteristics", calls->setDataCharacteristics, libraryName, error)
        && bind(module, "FT_SetFlowControl", calls->setFlowControl, libraryName, error)
        && bind(module, "FT_SetLatencyTimer", calls->setLatencyTimer, libraryName, error)
        && bind(module, "FT_Purge", calls->purge, libraryName, error)
        && bind(module, "FT_Write", calls->write, libraryName, error)
        && bind(module, "FT_Read", calls->read, libraryName, error);
    if (!bound) {
        FreeLibrary(module);
        return nullptr;
    }
    return std::unique_ptr<D2xxDriver>(new D2xxDriver(module, std::move(calls)));
}

D2xxDriver::D2xxDriver(void* module, std::unique_ptr<Calls> calls) : module_(module), calls_(std::move(calls)) {}

D2xxDriver::~D2xxDriver()
{
    FreeLibrary(static_cast<HMODULE>(module_));
}

FT_STATUS D2xxDriver::deviceCount(uint32_t& count)
{
    DWORD devices = 0;
    const FT_STATUS status = calls_->listDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY);
    count = status == FT_OK ? devices : 0;
    return status;
}

FT_STATUS D2xxDriver::deviceString(uint32_t index, uint32_t which, std::string& text)
{
    // The library writes up to 64 bytes; a spare zero guards a string that
    // fills the buffer without one.
    char buffer[kFtListBufferSize + 1] = {};
    const FT_STATUS status = calls_->listDevices(reinterpret_cast<PVOID>(static_cast<uintptr_t>(index)), buffer,
        FT_LIST_BY_INDEX | which);
    text = status == FT_OK ? std::string(buffer, strnlen(buffer, kFtListBufferSize)) : std::string();
    return status;
}

FT_STATUS D2xxDriver::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    if (!handle)
        return FT_INVALID_PARAMETER;
    const FT_STATUS status = calls_->open(deviceNumber, handle);
    failure_ = {};
    if (status != FT_OK)
        failure_.detail = std::string("ftd2xx.dll FT_Open: ") + statusName(status);
    return status;
}

FT_STATUS D2xxDriver::FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate)
{
    return calls_->setBaudRate(handle, baudRate);
}

FT_STATUS D2xxDriver::FT_SetDivisor(FT_HANDLE handle, uint16_t divisor)
{
    return calls_->setDivisor(handle, divisor);
}

FT_STATUS D2xxDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs)
{
    const auto bounded = [](uint32_t ms) { return ms == 0 ? kNoTimeoutBoundMs : ms; };
    return calls_->setTimeouts(handle, bounded(readTimeoutMs), bounded(writeTimeoutMs));
}

FT_STATUS D2xxDriver::FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity)
{
    return calls_->setDataCharacteristics(handle, wordLength, stopBits, parity);
}

FT_STATUS D2xxDriver::FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff)
{
    return calls_->setFlowControl(handle, flowControl, xon, xoff);
}

FT_STATUS D2xxDriver::FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs)
{
    return calls_->setLatencyTimer(handle, latencyMs);
}

FT_STATUS D2xxDriver::FT_Purge(FT_HANDLE handle, uint32_t mask)
{
    return calls_->purge(handle, mask);
}

FT_STATUS D2xxDriver::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (!written)
        return FT_INVALID_PARAMETER;
    DWORD moved = 0;
    const FT_STATUS status = calls_->write(handle, const_cast<void*>(buffer), count, &moved);
    *written = moved;
    return status;
}

FT_STATUS D2xxDriver::FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (!received)
        return FT_INVALID_PARAMETER;
    DWORD moved = 0;
    const FT_STATUS status = calls_->read(handle, buffer, count, &moved);
    *received = moved;
    return status;
}

FT_STATUS D2xxDriver::FT_ResetDevice(FT_HANDLE handle)
{
    return calls_->resetDevice(handle);
}

FT_STATUS D2xxDriver::FT_Close(FT_HANDLE handle)
{
    return calls_->close(handle);
}

}  // namespace ktx
