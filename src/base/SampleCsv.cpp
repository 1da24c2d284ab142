#include "base/SampleCsv.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace ktx {
namespace {

constexpr const char* kTimeHeader = "time_utc";

// A field with a separator, a quote or a line break goes in quotes.
void appendField(std::string& out, const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendNumber(std::string& out, double value)
{
    if (!std::isfinite(value))
        return;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

}  // namespace

std::string isoUtcText(int64_t wallUtcMs)
{
    using namespace std::chrono;
    const sys_time<milliseconds> stamp{milliseconds{wallUtcMs}};
    const sys_days day = floor<days>(stamp);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{stamp - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
        static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()),
        static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string samplesCsv(const SampleRing& ring, const std::vector<std::string>& seriesNames)
{
    std::string out = kTimeHeader;
    for (size_t series = 0; series < ring.seriesCount(); ++series) {
        out += ',';
        appendField(out, series < seriesNames.size() ? seriesNames[series] : std::string());
    }
    out += "\r\n";
    for (size_t index = 0; index < ring.size(); ++index) {
        out += isoUtcText(ring.timeAt(index).wallUtcMs);
        for (size_t series = 0; series < ring.seriesCount(); ++series) {
            out += ',';
            appendNumber(out, ring.valueAt(index, series));
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace ktx
