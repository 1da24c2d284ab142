#include "gnss/ClockRegisters.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace ktx::gnss {

namespace {

constexpr int64_t kLastMs = 253402300799999;  // 9999-12-31 23:59:59.999 UTC

int32_t bcd(int value, int tensMask)
{
    return ((value / 10) & tensMask) << 4 | (value % 10);
}

int digits(int32_t r, int tensMask)
{
    const auto u = static_cast<uint32_t>(r);
    return static_cast<int>((u & 0xFu) + ((u >> 4) & static_cast<uint32_t>(tensMask)) * 10u);
}

}  // namespace

ClockRegisters encodeClock(int64_t utcMs)
{
    using namespace std::chrono;
    const sys_time<milliseconds> t{milliseconds{std::clamp<int64_t>(utcMs, 0, kLastMs)}};
    const sys_days day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss<seconds> clock{floor<seconds>(t - day)};

    const int y = static_cast<int>(date.year());
    const int month = static_cast<int>(static_cast<unsigned>(date.month()));
    const int centuries = (((y / 100) - 20) % 10) & 3;
    ClockRegisters r{};
    r[0] = bcd(static_cast<int>(clock.seconds().count()), 7);
    r[1] = bcd(static_cast<int>(clock.minutes().count()), 7);
    r[2] = bcd(static_cast<int>(clock.hours().count()), 3);
    r[3] = static_cast<int32_t>((weekday{day}.c_encoding() + 1) & 7);
    r[4] = bcd(static_cast<int>(static_cast<unsigned>(date.day())), 3);
    r[5] = bcd(month, 1) | centuries << 6;
    r[6] = ((y / 10) % 10) << 4 | (y % 10);
    return r;
}

CivilTime decodeClock(const ClockRegisters& r)
{
    const auto month = static_cast<uint32_t>(r[5]);
    const auto year = static_cast<uint32_t>(r[6]);
    CivilTime t;
    t.seconds = digits(r[0], 7);
    t.minutes = digits(r[1], 7);
    t.hours = digits(r[2], 3);
    t.day = digits(r[4], 3);
    t.month = digits(r[5], 1);
    t.year = 2000 + static_cast<int>(((month >> 6) & 3u) * 100u + ((year >> 4) & 0xFu) * 10u + (year & 0xFu));
    return t;
}

std::string clockText(const ClockRegisters& r)
{
    const CivilTime t = decodeClock(r);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d GMT", t.day, t.month, t.year, t.hours, t.minutes,
        t.seconds);
    return text;
}

std::optional<ClockRegisters> scanTimer(const char* reply)
{
    int v[7];
    if (std::sscanf(reply, "TIMER=%d:%d:%d:%d:%d:%d:%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) != 7)
        return std::nullopt;
    ClockRegisters r;
    std::copy(std::begin(v), std::end(v), r.begin());
    return r;
}

std::string timerCommand(const ClockRegisters& r)
{
    char text[96];
    std::snprintf(text, sizeof text, "TIMER=%d:%d:%d:%d:%d:%d:%d;", r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
    return text;
}

}  // namespace ktx::gnss
