#include "results/ExportCsv.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <regex>
#include <string_view>

#include <nlohmann/json.hpp>

namespace ktx::results {
namespace {

// RFC 4180: quoted when it holds a separator, a quote or a line break.
std::string field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A text a spreadsheet would take for a formula (a leading =, +, -, @, or a
// tab or CR before one) keeps a leading apostrophe: the cell shows the text
// and runs nothing.
std::string textField(const std::string& text)
{
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        return field("'" + text);
    return field(text);
}

// A measured value is a number as JSON wrote it, or a text as read: a finite
// number whole ("-0.25", "1e+20") stays a number a spreadsheet computes with.
std::string valueField(const std::string& value)
{
    double number = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (!value.empty() && error == std::errc() && stop == end && std::isfinite(number))
        return value;
    return textField(value);
}

// JSON's number text: shortest exact form, '.' decimals, no locale.
std::string number(const std::optional<double>& value) { return value ? nlohmann::json(*value).dump() : ""; }

}  // namespace

std::string exportCsv(const std::vector<ExportRow>& rows)
{
    std::string csv = "run_id,serial,station,operator,run_start,run_outcome,step,step_type,step_outcome,"
                      "measurement,value,units,low,high,outcome\r\n";
    for (const ExportRow& r : rows) {
        for (const std::string* text : {&r.runId, &r.serial, &r.station, &r.operatorName, &r.runStart, &r.runOutcome,
                 &r.stepName, &r.stepType, &r.stepOutcome, &r.name})
            csv += textField(*text) + ",";
        csv += valueField(r.value.value_or("")) + "," + textField(r.units) + "," + number(r.low) + "," +
               number(r.high) + "," + textField(r.outcome) + "\r\n";
    }
    return csv;
}

bool storedTimeBound(const std::string& text, DateBound bound, std::string& iso)
{
    static const std::regex form(R"(^(\d{4})-(\d{2})-(\d{2})(T(\d{2}):(\d{2}):(\d{2})Z)?$)");
    std::smatch parts;
    if (!std::regex_match(text, parts, form))
        return false;
    std::tm civil{};
    civil.tm_year = std::stoi(parts[1]) - 1900;
    civil.tm_mon = std::stoi(parts[2]) - 1;
    civil.tm_mday = std::stoi(parts[3]);
    const bool wholeDay = !parts[4].matched;
    if (!wholeDay) {
        civil.tm_hour = std::stoi(parts[5]);
        civil.tm_min = std::stoi(parts[6]);
        civil.tm_sec = std::stoi(parts[7]);
    }
    // A date timegm() moves (Feb 30, hour 25) is no date.
    std::tm normal = civil;
    const std::time_t seconds = ::timegm(&normal);
    if (seconds == -1 || normal.tm_mday != civil.tm_mday || normal.tm_mon != civil.tm_mon ||
        normal.tm_hour != civil.tm_hour || normal.tm_min != civil.tm_min || normal.tm_sec != civil.tm_sec)
        return false;
    const std::string day = text.substr(0, 10);
    if (wholeDay)
        iso = day + (bound == DateBound::From ? "T00:00:00.000Z" : "T23:59:59.999Z");
    else
        iso = text.substr(0, 19) + (bound == DateBound::From ? ".000Z" : ".999Z");
    return true;
}

}  // namespace ktx::results
