#include "gnss/sim/ClockModule.h"

#include <chrono>

#include "sim/SimText.h"

namespace ktx::sim {

namespace {

constexpr std::string_view kRead = "GTIMER$";
constexpr std::string_view kSet = "TIMER=";

bool digitsValid(int32_t r, int32_t tensMask, int32_t freeMask)
{
    return r >= 0 && r <= 255 && (r & 0xF) <= 9 && ((r >> 4) & tensMask) <= 9 && (r & freeMask) == 0;
}

void appendRegisters(const gnss::ClockRegisters& r, std::string& out)
{
    out += kSet;
    for (size_t i = 0; i < r.size(); ++i) {
        if (i > 0)
            out += ':';
        appendInt(out, r[i]);
    }
    out += ";\r\n";
}

}  // namespace

ClockModule::ClockModule(const Scenario& scenario) : offsetMs_(scenario.gnss.clockOffsetS * 1000) {}

bool ClockModule::handles(std::string_view command) const
{
    return command == kRead || (command.starts_with(kSet) && command.ends_with(';'));
}

bool ClockModule::endsAtSemicolon(std::string_view commandStart) const
{
    return commandStart.starts_with(kSet);
}

bool ClockModule::setTime(const gnss::ClockRegisters& r, int64_t& utcMs)
{
    // Each register's unused bits must be clear and every digit decimal.
    const bool digits = digitsValid(r[0], 7, 0x80) && digitsValid(r[1], 7, 0x80) && digitsValid(r[2], 3, 0xC0)
        && r[3] >= 1 && r[3] <= 7 && digitsValid(r[4], 3, 0xC0) && digitsValid(r[5], 1, 0x20)
        && digitsValid(r[6], 0xF, 0);
    if (!digits)
        return false;
    const gnss::CivilTime t = gnss::decodeClock(r);
    using namespace std::chrono;
    const year_month_day date{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}};
    if (!date.ok() || t.hours > 23 || t.minutes > 59 || t.seconds > 59)
        return false;
    const auto time = sys_days{date} + hours{t.hours} + minutes{t.minutes} + seconds{t.seconds};
    utcMs = duration_cast<milliseconds>(time.time_since_epoch()).count();
    return true;
}

void ClockModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    if (command != kRead) {
        // "TIMER=%d:%d:%d:%d:%d:%d:%d;": anything else is ignored by the firmware.
        std::string_view args = command.substr(kSet.size());
        gnss::ClockRegisters r{};
        for (size_t i = 0; i < r.size(); ++i) {
            int64_t value = 0;
            if (!takeInt(args, value) || !takeChar(args, i + 1 < r.size() ? ':' : ';') || value < INT32_MIN
                || value > INT32_MAX)
                return;
            r[i] = static_cast<int32_t>(value);
        }
        int64_t setMs = 0;
        if (!args.empty())
            return;
        if (setTime(r, setMs))
            offsetMs_ = setMs - (utcAtStartMs_ + nowMs);
    }
    appendRegisters(gnss::encodeClock(clockMs(nowMs)), out);
}

}  // namespace ktx::sim
