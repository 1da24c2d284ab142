#include "check/RecordFiles.h"

#include "base/CNumbers.h"

#include <algorithm>
#include <cerrno>

#include <cstdio>
#include <ctime>

#include "base/FileWriter.h"
#include "base/SafeFileName.h"
#include "base/TextCodec.h"
#include "check/Exchanges.h"

namespace ktx::check {
namespace {

using nlohmann::json;

constexpr int kMostNameTries = 1000;

json limitsJson(const Limits& limits)
{
    json out = json::object();
    out["low"] = limits.low ? json(*limits.low) : json(nullptr);
    out["high"] = limits.high ? json(*limits.high) : json(nullptr);
    return out;
}

json exchangesJson(const std::vector<Exchange>& lines)
{
    json out = json::array();
    for (const Exchange& line : lines)
        out.push_back({{"atMs", line.atMs}, {"kind", line.kind}, {"text", line.text}});
    return out;
}

// Any text may come from a device or a command line: bytes that are no
// UTF-8 become U+FFFD, so the page and the XML always parse.
std::string escapeXml(const std::string& text)
{
    std::string out;
    for (const char c : wellFormedUtf8(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // XML 1.0 has no place for other control characters.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r' && c != '\t')
                out += ' ';
            else
                out += c;
        }
    }
    return out;
}

std::string valueText(const Measurement& m)
{
    if (m.value.is_null())
        return "—";
    std::string text = m.value.is_string() ? m.value.get<std::string>() : m.value.dump();
    if (!m.units.empty())
        text += " " + m.units;
    return text;
}

std::string limitText(const Limits& limits)
{
    auto number = [](double v) {
        const CNumbersScope pointDecimals;
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return std::string(text);
    };
    if (limits.low && limits.high)
        return *limits.low == *limits.high ? "= " + number(*limits.low) : number(*limits.low) + " … " + number(*limits.high);
    if (limits.low)
        return "≥ " + number(*limits.low);
    if (limits.high)
        return "≤ " + number(*limits.high);
    return "";
}

std::string secondsText(int64_t ms)
{
    const CNumbersScope pointDecimals;
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
    return text;
}

std::string compactTime(int64_t utcMs)
{
    const std::time_t whole = static_cast<std::time_t>(utcMs / 1000);
    std::tm civil{};
    gmtime_r(&whole, &civil);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &civil);
    return text;
}

// One line of the report's table: a measurement, or a run of passing ones.
struct ReportRow {
    std::string name, value, limits;
    Outcome outcome;
};

// Passing numbers of one kind under the same limits (64 temperatures, 8 fuel
// levels) take one row with their count and spread, so the page stays one
// or two A4 sheets; anything not passing keeps a row of its own. The JSON
// keeps every value.
constexpr size_t kFewestFoldedRows = 4;

bool foldable(const Measurement& a, const Measurement& b)
{
    return a.outcome == Outcome::Pass && b.outcome == Outcome::Pass && a.value.is_number() && b.value.is_number()
        && a.units == b.units && a.limits.low == b.limits.low && a.limits.high == b.limits.high;
}

// The words the names begin with in common: "temperature" of
// "temperature 28ff..." and "temperature 28aa...".
std::string sharedWords(const std::vector<Measurement>& list, size_t first, size_t end)
{
    std::string shared = list[first].name;
    for (size_t i = first + 1; i < end; ++i) {
        size_t same = 0;
        while (same < shared.size() && same < list[i].name.size() && shared[same] == list[i].name[same])
            ++same;
        shared.resize(same);
    }
    if (shared.size() < list[first].name.size()) {
        const size_t space = shared.rfind(' ');
        shared.resize(space == std::string::npos ? 0 : space);
    }
    return shared.empty() ? "measurements" : shared;
}

std::vector<ReportRow> reportRows(const std::vector<Measurement>& list)
{
    std::vector<ReportRow> rows;
    for (size_t first = 0; first < list.size();) {
        size_t end = first + 1;
        while (end < list.size() && foldable(list[first], list[end]))
            ++end;
        if (end - first < kFewestFoldedRows) {
            for (; first < end; ++first) {
                const Measurement& m = list[first];
                rows.push_back({m.name, valueText(m), limitText(m.limits), m.outcome});
            }
            continue;
        }
        auto [lowest, highest] = std::minmax_element(list.begin() + first, list.begin() + end,
            [](const Measurement& a, const Measurement& b) { return a.value.get<double>() < b.value.get<double>(); });
        rows.push_back({sharedWords(list, first, end) + " ×" + std::to_string(end - first),
            lowest->value.dump() + " … " + highest->value.dump() + (lowest->units.empty() ? "" : " " + lowest->units),
            limitText(list[first].limits), Outcome::Pass});
        first = end;
    }
    return rows;
}

bool isFailure(Outcome outcome) { return outcome == Outcome::Fail || outcome == Outcome::Error; }

}  // namespace

std::string recordJson(const RunRecord& r)
{
    json steps = json::array();
    for (const StepRecord& step : r.steps) {
        json measurements = json::array();
        for (const Measurement& m : step.measurements)
            measurements.push_back({{"name", m.name}, {"value", m.value}, {"units", m.units},
                {"limits", limitsJson(m.limits)}, {"outcome", outcomeName(m.outcome)}});
        steps.push_back({{"name", step.name}, {"type", step.type}, {"optional", step.optional},
            {"outcome", outcomeName(step.outcome)}, {"message", step.message}, {"start", isoTime(step.startUtcMs)},
            {"durationMs", step.durationMs}, {"measurements", measurements}, {"log", exchangesJson(step.log)}});
    }
    const json out = {
        {"recordVersion", 1},
        {"device", {{"serial", r.device.serial}, {"description", r.device.description},
                       {"firmware", r.device.firmware}, {"firmwareVersion", r.device.version}}},
        {"station", r.station},
        {"operator", r.operatorName},
        {"program", {{"name", "korvantix-check"}, {"version", r.programVersion}}},
        {"profile", {{"name", r.profileName}, {"hash", r.profileHash}}},
        {"start", isoTime(r.startUtcMs)},
        {"end", isoTime(r.endUtcMs)},
        {"interrupted", r.interrupted},
        {"outcome", verdictName(r)},
        {"steps", steps},
        {"cleanupLog", exchangesJson(r.cleanupLog)},
    };
    // Replacement characters instead of an exception for any bad byte left.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string recordHtml(const RunRecord& r)
{
    const bool passed = (r.outcome == Outcome::Pass || r.outcome == Outcome::Marginal) && !nothingTested(r);
    const std::string verdict = r.interrupted ? "ПРЕРВАНО" : nothingTested(r) ? "НЕ ПРОВЕРЕН"
        : r.outcome == Outcome::Marginal                                    ? "ГОДЕН (с замечаниями)"
        : passed                                                            ? "ГОДЕН"
                                                                            : "НЕ ГОДЕН";
    std::string html = R"(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Протокол проверки )" + escapeXml(r.device.serial) + R"(</title>
<style>
@page { size: A4; margin: 12mm; }
body { font-family: "DejaVu Sans", sans-serif; font-size: 10pt; margin: 0 auto; max-width: 190mm; color: #111; }
h1 { font-size: 14pt; margin: 0 0 4pt; }
.verdict { font-size: 30pt; font-weight: bold; padding: 6pt 10pt; margin: 6pt 0; border: 3pt solid; }
.pass { color: #11631d; border-color: #11631d; }
.fail { color: #a30d0d; border-color: #a30d0d; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.5pt solid #888; padding: 2pt 4pt; text-align: left; vertical-align: top; }
th { background: #e4e4e4; }
td.o { font-weight: bold; white-space: nowrap; }
tr.bad td { background: #fbdada; }
tr.marginal td { background: #fff3c4; }
tr.step td { border-top: 1.2pt solid #333; }
.meta td { border: none; padding: 0 8pt 0 0; }
</style></head><body>
<h1>Протокол проверки трекера</h1>
<div class="verdict )" + std::string(passed && !r.interrupted ? "pass" : "fail") + R"(">)" + verdict + R"(</div>
<table class="meta">
<tr><td>Серийный номер</td><td><b>)" + escapeXml(r.device.serial) + R"(</b></td><td>Прошивка</td><td>)"
        + escapeXml(r.device.firmware) + R"(</td></tr>
<tr><td>Стенд</td><td>)" + escapeXml(r.station) + R"(</td><td>Оператор</td><td>)" + escapeXml(r.operatorName) + R"(</td></tr>
<tr><td>Начало</td><td>)" + isoTime(r.startUtcMs) + R"(</td><td>Конец</td><td>)" + isoTime(r.endUtcMs) + R"(</td></tr>
<tr><td>Профиль</td><td>)" + escapeXml(r.profileName) + R"(</td><td>Программа</td><td>korvantix-check )"
        + escapeXml(r.programVersion) + R"(</td></tr>
</table>
<p></p>
<table>
<tr><th>Шаг</th><th>Измерение</th><th>Значение</th><th>Пределы</th><th>Итог</th></tr>
)";
    for (const StepRecord& step : r.steps) {
        const std::string rowClass = isFailure(step.outcome) ? "bad" : step.outcome == Outcome::Marginal ? "marginal" : "";
        const std::vector<ReportRow> rows = reportRows(step.measurements);
        html += "<tr class=\"step " + rowClass + "\"><td rowspan=\"" + std::to_string(std::max<size_t>(1, rows.size()))
            + "\"><b>" + escapeXml(step.name) + "</b> (" + secondsText(step.durationMs) + " с)"
            + (step.optional ? "<br><i>необязательный</i>" : "")
            + (step.message.empty() ? "" : "<br>" + escapeXml(step.message)) + "</td>";
        if (rows.empty())
            html += "<td></td><td></td><td></td><td class=\"o\">" + std::string(outcomeName(step.outcome)) + "</td></tr>\n";
        for (size_t i = 0; i < rows.size(); ++i) {
            const ReportRow& row = rows[i];
            if (i > 0)
                html += "<tr class=\"" + std::string(isFailure(row.outcome) ? "bad" : rowClass) + "\">";
            html += "<td>" + escapeXml(row.name) + "</td><td>" + escapeXml(row.value) + "</td><td>"
                + escapeXml(row.limits) + "</td><td class=\"o\">" + outcomeName(row.outcome) + "</td></tr>\n";
        }
    }
    html += "</table>\n<p>Итог шагов — худший из итогов их измерений; профиль " + escapeXml(r.profileHash)
        + ".</p>\n</body></html>\n";
    return html;
}

std::string recordJunit(const RunRecord& r)
{
    int failures = 0, errors = 0, skipped = 0, marginal = 0;
    for (const StepRecord& step : r.steps) {
        failures += step.outcome == Outcome::Fail;
        errors += step.outcome == Outcome::Error;
        skipped += step.outcome == Outcome::Skipped;
        marginal += step.outcome == Outcome::Marginal;
    }
    const int64_t totalMs = r.endUtcMs - r.startUtcMs;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"korvantix-check\">\n"
        "  <testsuite name=\"" + escapeXml(r.device.serial) + "\" tests=\"" + std::to_string(r.steps.size())
        + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\" skipped=\""
        + std::to_string(skipped) + "\" time=\"" + secondsText(totalMs) + "\" timestamp=\""
        + isoTime(r.startUtcMs).substr(0, 19) + "\" hostname=\"" + escapeXml(r.station) + "\">\n";
    xml += "    <properties>\n      <property name=\"profile\" value=\"" + escapeXml(r.profileName) + "\"/>\n"
           "      <property name=\"profileHash\" value=\"" + escapeXml(r.profileHash) + "\"/>\n"
           "      <property name=\"firmware\" value=\"" + escapeXml(r.device.firmware) + "\"/>\n"
           "      <property name=\"operator\" value=\"" + escapeXml(r.operatorName) + "\"/>\n"
           "      <property name=\"verdict\" value=\"" + verdictName(r) + "\"/>\n"
           "      <property name=\"marginal\" value=\"" + std::to_string(marginal) + "\"/>\n    </properties>\n";
    for (const StepRecord& step : r.steps) {
        xml += "    <testcase classname=\"korvantix-check." + escapeXml(step.type) + "\" name=\"" + escapeXml(step.name)
            + "\" time=\"" + secondsText(step.durationMs) + "\"";
        std::string details;
        for (const Measurement& m : step.measurements)
            details += m.name + " = " + valueText(m) + " [" + limitText(m.limits) + "] " + outcomeName(m.outcome) + "\n";
        if (!step.message.empty())
            details += step.message + "\n";
        switch (step.outcome) {
        case Outcome::Fail:
            xml += ">\n      <failure message=\"" + escapeXml(step.message.empty() ? "out of limits" : step.message)
                + "\">" + escapeXml(details) + "</failure>\n    </testcase>\n";
            break;
        case Outcome::Error:
            xml += ">\n      <error message=\"" + escapeXml(step.message.empty() ? "no answer" : step.message) + "\">"
                + escapeXml(details) + "</error>\n    </testcase>\n";
            break;
        case Outcome::Skipped:
            xml += ">\n      <skipped message=\"" + escapeXml(step.message) + "\"/>\n    </testcase>\n";
            break;
        case Outcome::Marginal:
            // A pass to the CI server, but counted apart by a line's dashboard.
            xml += ">\n      <properties>\n        <property name=\"outcome\" value=\"marginal\"/>\n      </properties>\n"
                   "      <system-out>marginal: " + escapeXml(details) + "</system-out>\n    </testcase>\n";
            break;
        default:
            xml += ">\n      <system-out>" + escapeXml(details) + "</system-out>\n    </testcase>\n";
        }
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

PublishedSet publishRecordSet(const std::string& stem, const std::vector<RecordFile>& files)
{
    PublishedSet set;
    std::vector<std::string> temporaries;
    auto removeAll = [](const std::vector<std::string>& paths) {
        for (const std::string& path : paths)
            removeWritten(path);
    };
    for (const RecordFile& file : files) {
        std::string temporary;
        if (const WriteResult written = writeTemporary(stem + file.suffix, file.bytes, kRecordFileMode, temporary);
            !written) {
            removeAll(temporaries);
            set.error = written.error;
            return set;
        }
        temporaries.push_back(temporary);
    }
    for (int n = 1; n <= kMostNameTries && !set.ok; ++n) {
        const std::string base = n == 1 ? stem : stem + "-" + std::to_string(n);
        std::vector<std::string> claimed;
        WriteResult result;
        for (size_t i = 0; i < files.size() && result; ++i) {
            result = claimName(temporaries[i], base + files[i].suffix);
            if (result)
                claimed.push_back(base + files[i].suffix);
        }
        if (result) {
            set.ok = true;
            set.paths = claimed;
            break;
        }
        // A name of this stem was taken (by another run, or by hand): none of
        // the set stays under it.
        removeAll(claimed);
        if (result.errorNumber != EEXIST) {
            set.error = result.error;
            break;
        }
    }
    removeAll(temporaries);
    if (set.ok)
        syncDirectoryOf(stem);
    else if (set.error.empty())
        set.error = "no free record name beside " + stem + files.front().suffix;
    return set;
}

WrittenRecord writeRecordFiles(const RunRecord& record, const std::string& directory, DirectoryLink link)
{
    WrittenRecord written;
    if (const WriteResult made = ensureDirectory(directory, link); !made) {
        written.error = made.error;
        return written;
    }
    const std::string stem = directory + "/" + serialFileComponent(cp1251FromUtf8(record.device.serial)) + "-"
        + compactTime(record.startUtcMs);
    const PublishedSet set = publishRecordSet(stem, {{".json", recordJson(record)}, {".html", recordHtml(record)},
        {".junit.xml", recordJunit(record)}});
    written.ok = set.ok;
    written.error = set.error;
    if (set.ok) {
        written.jsonPath = set.paths[0];
        written.htmlPath = set.paths[1];
        written.junitPath = set.paths[2];
    }
    return written;
}

}  // namespace ktx::check
