#pragma once
// The device's real-time clock: seven packed-decimal (BCD) registers,
// seconds, minutes, hours, weekday (1 = Sunday), date, month with the
// centuries since 2000 in its top bits, and the year within the century.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ktx::gnss {

using ClockRegisters = std::array<int32_t, 7>;

struct CivilTime {
    int year = 2000, month = 1, day = 1;
    int hours = 0, minutes = 0, seconds = 0;
};

// UTC milliseconds since the Unix epoch into the registers; times before the
// epoch or after 9999 are taken at those ends.
ClockRegisters encodeClock(int64_t utcMs);
// No digit is checked: a units nibble above 9 simply adds its value.
CivilTime decodeClock(const ClockRegisters& r);
// "%02d.%02d.%04d %02d:%02d:%02d GMT"
std::string clockText(const ClockRegisters& r);

// The seven registers after "TIMER=", when all seven convert.
std::optional<ClockRegisters> scanTimer(const char* reply);
// "TIMER=%d:%d:%d:%d:%d:%d:%d;"
std::string timerCommand(const ClockRegisters& r);

}  // namespace ktx::gnss
