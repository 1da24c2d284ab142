// A stand-in ftd2xx.dll for the Windows tests: the simulated tracker behind
// the D2XX calls the console's back end loads, so korvantix-check.exe runs
// through LoadLibrary, GetProcAddress and the real back end under Wine.
// KTX_FAKE_D2XX_SCENARIO names a scenario file (the built-in one without).
#include <cstdio>
#include <memory>
#include <mutex>
#include <type_traits>

#include "base/platform/windows/WideText.h"
#include "link/RealTimeSource.h"
#include "link/platform/windows/D2xxApi.h"
#include "sim/SimDriver.h"

namespace {

using namespace ktx;

struct Tracker {
    RealTimeSource time;
    std::unique_ptr<sim::SimDriver> driver;
};

// Made at the first call; null when the scenario could not be read (every
// call then fails as a broken driver would).
sim::SimDriver* tracker()
{
    static Tracker* made = [] {
        auto* t = new Tracker;  // lives until the process ends: no teardown under the loader lock
        sim::Scenario scenario = sim::defaultScenario();
        wchar_t path[32768];
        const DWORD length = GetEnvironmentVariableW(L"KTX_FAKE_D2XX_SCENARIO", path, 32768);
        std::string error;
        if (length > 0 && length < 32768 && !sim::loadScenarioFile(utf8FromWide(path), scenario, error)) {
            std::fprintf(stderr, "fake ftd2xx.dll: %s\n", error.c_str());
            return t;
        }
        t->driver = std::make_unique<sim::SimDriver>(t->time, scenario);
        return t;
    }();
    return made->driver.get();
}

std::mutex callMutex;

template <typename Call>
d2xx::Status call(Call&& body)
{
    const std::lock_guard lock(callMutex);
    sim::SimDriver* driver = tracker();
    return driver ? body(*driver) : FT_OTHER_ERROR;
}

}  // namespace

#define KTX_EXPORT extern "C" __declspec(dllexport)

KTX_EXPORT d2xx::Status WINAPI FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags)
{
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    return call([&](sim::SimDriver& d) { return d.FT_ListDevices(arg1, arg2, flags); });
}

KTX_EXPORT d2xx::Status WINAPI FT_Open(int deviceNumber, d2xx::Handle* handle)
{
    return call([&](sim::SimDriver& d) { return d.FT_Open(deviceNumber, handle); });
}

KTX_EXPORT d2xx::Status WINAPI FT_Close(d2xx::Handle handle)
{
    return call([&](sim::SimDriver& d) { return d.FT_Close(handle); });
}

KTX_EXPORT d2xx::Status WINAPI FT_ResetDevice(d2xx::Handle handle)
{
    return call([&](sim::SimDriver& d) { return d.FT_ResetDevice(handle); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetBaudRate(d2xx::Handle handle, ULONG baudRate)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetBaudRate(handle, baudRate); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetDivisor(d2xx::Handle handle, USHORT divisor)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetDivisor(handle, divisor); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetTimeouts(d2xx::Handle handle, ULONG readTimeoutMs, ULONG writeTimeoutMs)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetTimeouts(handle, readTimeoutMs, writeTimeoutMs); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetDataCharacteristics(d2xx::Handle handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetDataCharacteristics(handle, wordLength, stopBits, parity); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetFlowControl(d2xx::Handle handle, USHORT flowControl, UCHAR xon, UCHAR xoff)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetFlowControl(handle, flowControl, xon, xoff); });
}

KTX_EXPORT d2xx::Status WINAPI FT_SetLatencyTimer(d2xx::Handle handle, UCHAR latencyMs)
{
    return call([&](sim::SimDriver& d) { return d.FT_SetLatencyTimer(handle, latencyMs); });
}

KTX_EXPORT d2xx::Status WINAPI FT_Purge(d2xx::Handle handle, ULONG mask)
{
    return call([&](sim::SimDriver& d) { return d.FT_Purge(handle, mask); });
}

KTX_EXPORT d2xx::Status WINAPI FT_Write(d2xx::Handle handle, LPVOID buffer, DWORD count, LPDWORD written)
{
    return call([&](sim::SimDriver& d) {
        return d.FT_Write(handle, buffer, count, reinterpret_cast<uint32_t*>(written));
    });
}

KTX_EXPORT d2xx::Status WINAPI FT_Read(d2xx::Handle handle, LPVOID buffer, DWORD count, LPDWORD received)
{
    return call([&](sim::SimDriver& d) {
        return d.FT_Read(handle, buffer, count, reinterpret_cast<uint32_t*>(received));
    });
}

// The exports have the very types the back end looks them up as.
static_assert(std::is_same_v<decltype(&FT_ListDevices), d2xx::ListDevicesCall>);
static_assert(std::is_same_v<decltype(&FT_Open), d2xx::OpenCall>);
static_assert(std::is_same_v<decltype(&FT_SetDivisor), d2xx::SetDivisorCall>);
static_assert(std::is_same_v<decltype(&FT_SetDataCharacteristics), d2xx::SetDataCharacteristicsCall>);
static_assert(std::is_same_v<decltype(&FT_SetFlowControl), d2xx::SetFlowControlCall>);
static_assert(std::is_same_v<decltype(&FT_Read), d2xx::ReadCall>);
static_assert(std::is_same_v<decltype(&FT_Write), d2xx::WriteCall>);
