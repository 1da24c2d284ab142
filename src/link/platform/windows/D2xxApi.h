#pragma once
// The few calls of the FTDI D2XX library (ftd2xx.dll) the console uses, as
// its programmer's guide gives them: every one returns an FT_STATUS (a
// ULONG), takes the device's FT_HANDLE (a PVOID) and uses the WINAPI calling
// convention. The status codes and flags are link/FtDriver.h's. Declared
// here, from the guide, so the library is only loaded at run time and
// neither its header nor its import library is needed.
#include <windows.h>

namespace ktx::d2xx {

using Status = ULONG;
using Handle = PVOID;

using ListDevicesCall = Status(WINAPI*)(PVOID arg1, PVOID arg2, DWORD flags);
using OpenCall = Status(WINAPI*)(int deviceNumber, Handle* handle);
using CloseCall = Status(WINAPI*)(Handle handle);
using ResetDeviceCall = Status(WINAPI*)(Handle handle);
using SetBaudRateCall = Status(WINAPI*)(Handle handle, ULONG baudRate);
using SetDivisorCall = Status(WINAPI*)(Handle handle, USHORT divisor);
using SetTimeoutsCall = Status(WINAPI*)(Handle handle, ULONG readTimeoutMs, ULONG writeTimeoutMs);
using SetDataCharacteristicsCall = Status(WINAPI*)(Handle handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity);
using SetFlowControlCall = Status(WINAPI*)(Handle handle, USHORT flowControl, UCHAR xon, UCHAR xoff);
using SetLatencyTimerCall = Status(WINAPI*)(Handle handle, UCHAR latencyMs);
using PurgeCall = Status(WINAPI*)(Handle handle, ULONG mask);
using WriteCall = Status(WINAPI*)(Handle handle, LPVOID buffer, DWORD count, LPDWORD written);
using ReadCall = Status(WINAPI*)(Handle handle, LPVOID buffer, DWORD count, LPDWORD received);

// The library's file name; Windows looks beside the program first, then in
// the system folders where the driver's installer puts it.
constexpr const wchar_t* kLibraryName = L"ftd2xx.dll";

}  // namespace ktx::d2xx
