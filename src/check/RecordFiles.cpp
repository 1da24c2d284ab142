#include "check/RecordFiles.h"

#include "base/CNumbers.h"

#include <algorithm>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/FileWriter.h"
#include "base/SafeFileName.h"
#include "base/TextCodec.h"

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

std::string escapeXml(const std::string& text)
{
    std::string out;
    for (const char c : text) {
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

// Anything by that name, a dangling link included. The name is UTF-8 on
// every system.
bool taken(const std::string& path)
{
    std::error_code error;
    const auto type = std::filesystem::symlink_status(std::u8string(path.begin(), path.end()), error).type();
    return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
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
        {"outcome", outcomeName(r.outcome)},
        {"steps", steps},
        {"cleanupLog", exchangesJson(r.cleanupLog)},
    };
    // Replacement characters instead of an exception for any bad byte left.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string recordHtml(const RunRecord& r)
{
    const bool passed = r.outcome == Outcome::Pass || r.outcome == Outcome::Marginal || r.outcome == Outcome::Skipped;
    const std::string verdict = r.interrupted ? "ПРЕРВАНО" : r.outcome == Outcome::Marginal ? "ГОДЕН (с замечаниями)"
        : passed ? "ГОДЕН" : "НЕ ГОДЕН";
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
        const size_t rows = std::max<size_t>(1, step.measurements.size());
        html += "<tr class=\"step " + rowClass + "\"><td rowspan=\"" + std::to_string(rows) + "\"><b>"
            + escapeXml(step.name) + "</b> (" + secondsText(step.durationMs) + " с)"
            + (step.optional ? "<br><i>необязательный</i>" : "")
            + (step.message.empty() ? "" : "<br>" + escapeXml(step.message)) + "</td>";
        if (step.measurements.empty())
            html += "<td></td><td></td><td></td><td class=\"o\">" + std::string(outcomeName(step.outcome)) + "</td></tr>\n";
        for (size_t i = 0; i < step.measurements.size(); ++i) {
            const Measurement& m = step.measurements[i];
            if (i > 0)
                html += "<tr class=\"" + std::string(isFailure(m.outcome) ? "bad" : rowClass) + "\">";
            html += "<td>" + escapeXml(m.name) + "</td><td>" + escapeXml(valueText(m)) + "</td><td>"
                + escapeXml(limitText(m.limits)) + "</td><td class=\"o\">" + outcomeName(m.outcome) + "</td></tr>\n";
        }
    }
    html += "</table>\n<p>Итог шагов — худший из итогов их измерений; профиль " + escapeXml(r.profileHash)
        + ".</p>\n</body></html>\n";
    return html;
}

std::string recordJunit(const RunRecord& r)
{
    int failures = 0, errors = 0, skipped = 0;
    for (const StepRecord& step : r.steps) {
        failures += step.outcome == Outcome::Fail;
        errors += step.outcome == Outcome::Error;
        skipped += step.outcome == Outcome::Skipped;
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
           "      <property name=\"operator\" value=\"" + escapeXml(r.operatorName) + "\"/>\n    </properties>\n";
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
        default:
            xml += ">\n      <system-out>" + escapeXml(details) + "</system-out>\n    </testcase>\n";
        }
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

WrittenRecord writeRecordFiles(const RunRecord& record, const std::string& directory)
{
    WrittenRecord written;
    if (const WriteResult made = ensureDirectory(directory); !made) {
        written.error = made.error;
        return written;
    }
    const std::string stem = directory + "/" + serialFileComponent(cp1251FromUtf8(record.device.serial)) + "-"
        + compactTime(record.startUtcMs);
    for (int n = 1; n <= kMostNameTries; ++n) {
        const std::string base = n == 1 ? stem : stem + "-" + std::to_string(n);
        if (taken(base + ".json") || taken(base + ".html") || taken(base + ".junit.xml"))
            continue;
        written.jsonPath = base + ".json";
        written.htmlPath = base + ".html";
        written.junitPath = base + ".junit.xml";
        break;
    }
    if (written.jsonPath.empty()) {
        written.error = "no free record name beside " + stem + ".json";
        return written;
    }
    const std::pair<const std::string&, std::string> files[] = {
        {written.jsonPath, recordJson(record)}, {written.htmlPath, recordHtml(record)},
        {written.junitPath, recordJunit(record)}};
    for (const auto& [path, bytes] : files) {
        if (const WriteResult result = replaceFile(path, bytes); !result) {
            written.error = result.error;
            return written;
        }
    }
    written.ok = true;
    return written;
}

}  // namespace ktx::check
