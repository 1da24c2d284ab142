#include "sim/Scenario.h"

#include "base/RegularFile.h"
#include "sim/ScenarioReader.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>

namespace ktx::sim {

namespace {

// The parser keeps its own stack, but a value nested thousands deep still
// costs memory and time for nothing: no scenario is deeper than three.
constexpr int kMaxNesting = 16;
// About 30 years: far enough for any run, near enough to stay clear of
// overflow when added to a clock in microseconds.
constexpr int64_t kMaxUnplugAtMs = 1'000'000'000'000;

bool nestingWithin(std::string_view text, int limit)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// Parser messages may quote the input; keep them printable on a terminal.
std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        out += (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) ? c : '?';
    return out;
}

bool readScenario(const Json& root, Scenario& s, std::string& error)
{
    ScenarioReader r(error);
    if (!root.is_object())
        return r.fail("scenario", "expected a JSON object");
    const bool ok = r.stringKey(root, "description", kMaxUsbStringLength, s.description)
        && r.stringKey(root, "serial", kMaxUsbStringLength, s.serial)
        && r.stringKey(root, "version", kMaxVersionLength, s.version)
        && r.integerKey(root, "latencyMs", 0, 10000, s.latencyMs)
        && r.integerKey(root, "chunkBytes", 1, 4096, s.chunkBytes)
        && r.integerKey(root, "chunkIntervalUs", 0, 1000000, s.chunkIntervalUs)
        && r.integerKey(root, "noise", 0, 100, s.noise)
        && r.integerKey(root, "seed", 0, std::numeric_limits<int64_t>::max(), s.seed);
    if (!ok)
        return false;

    bool sectionOk = true;
    if (const Json* faults = scenarioSection(root, "faults", r, sectionOk)) {
        const bool faultsOk = r.shareKey(*faults, "silent", s.faults.silent)
            && r.shareKey(*faults, "shortReplies", s.faults.shortReplies)
            && r.shareKey(*faults, "garbage", s.faults.garbage)
            && r.shareKey(*faults, "lineBreaks", s.faults.lineBreaks)
            && r.shareKey(*faults, "floods", s.faults.floods)
            && r.integerKey(*faults, "unplugAtMs", -1, kMaxUnplugAtMs, s.faults.unplugAtMs)
            && r.integerKey(*faults, "replugAtMs", -1, kMaxUnplugAtMs, s.faults.replugAtMs)
            && r.integerKey(*faults, "shortVersionReplies", -1, 1000000, s.faults.shortVersionReplies);
        if (!faultsOk)
            return false;
        if (s.faults.replugAtMs >= 0 && (s.faults.unplugAtMs < 0 || s.faults.replugAtMs <= s.faults.unplugAtMs))
            return r.fail("faults.replugAtMs", "expected a time after faults.unplugAtMs");
    }
    if (!sectionOk)
        return false;
    // Each area reads its own keys, with its own prefix.
#define KTX_READ_SECTION(area) \
    r.setPrefix(""); \
    if (!readScenarioSection_##area(root, static_cast<ScenarioSection_##area&>(s), r)) \
        return false;
    KTX_FOR_EACH_AREA(KTX_READ_SECTION)
#undef KTX_READ_SECTION
    return true;
}

// What the parser wanted next, in the words of someone editing the file.
std::string expectedInWords(std::string_view parserMessage)
{
    static const std::pair<std::string_view, std::string_view> kWords[] = {
        {"'[', '{', or a literal", "a value (a number, a text in double quotes, true, false, null, [ or {)"},
        {"string literal", "a name in double quotes"},
        {"end of input", "nothing more after the last closing brace"},
        {"':'", "a colon after the name"},
        {"'}'", "a comma or a closing brace"},
        {"']'", "a comma or a closing bracket"},
    };
    const size_t at = parserMessage.rfind("; expected ");
    const std::string_view expected =
        at == std::string_view::npos ? std::string_view() : parserMessage.substr(at + std::strlen("; expected "));
    for (const auto& [token, words] : kWords)
        if (expected == token)
            return std::string(words);
    return "a value";
}

// The character where reading stopped, as the editor shows it.
std::string foundInWords(std::string_view text, size_t offset)
{
    if (offset >= text.size())
        return "the end of the file";
    const unsigned char c = static_cast<unsigned char>(text[offset]);
    if (c == '\n')
        return "the end of the line";
    if (c < 0x20 || c >= 0x7F)
        return "a character the file may not hold there";
    return std::string("'") + char(c) + "'";
}

}  // namespace

std::string describeSyntaxError(std::string_view text, const Json::parse_error& e)
{
    // The parser counts the byte it stopped at from 1.
    size_t offset = std::min<size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
    // A text in quotes is read whole: point at its opening quote.
    if (offset < text.size() && text[offset] == '"' && offset > 0) {
        size_t open = offset - 1;
        while (open > 0 && !(text[open] == '"' && text[open - 1] != '\\'))
            --open;
        offset = open;
    }
    size_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1) + ": expected " +
           expectedInWords(e.what()) + ", found " + foundInWords(text, offset);
}

Scenario defaultScenario()
{
    return Scenario{};
}

bool parseScenario(std::string_view json, Scenario& out, std::string& error)
{
    if (json.size() > kMaxScenarioBytes) {
        error = "scenario: larger than " + std::to_string(kMaxScenarioBytes) + " bytes";
        return false;
    }
    if (!nestingWithin(json, kMaxNesting)) {
        error = "scenario: nested deeper than " + std::to_string(kMaxNesting) + " levels";
        return false;
    }
    Json root;
    try {
        root = Json::parse(json.begin(), json.end());
    } catch (const Json::parse_error& e) {
        error = "not valid JSON: " + describeSyntaxError(json, e);
        return false;
    } catch (const Json::exception& e) {
        error = "not valid JSON: " + printable(e.what());
        return false;
    }
    Scenario parsed = defaultScenario();
    if (!readScenario(root, parsed, error))
        return false;
    out = std::move(parsed);
    return true;
}

bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error)
{
    std::string text;
    int errorNumber = 0;
    switch (readRegularFile(path, kMaxScenarioBytes, text, &errorNumber)) {
    case FileReadResult::Ok:
        break;
    case FileReadResult::CannotOpen:
        error = path + ": " + std::strerror(errorNumber);
        return false;
    case FileReadResult::NotRegular:
        error = path + ": not a regular file";
        return false;
    case FileReadResult::TooLarge:
        error = path + ": larger than " + std::to_string(kMaxScenarioBytes) + " bytes";
        return false;
    case FileReadResult::ReadError:
        error = path + ": " + std::strerror(errorNumber);
        return false;
    }
    if (!parseScenario(text, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace ktx::sim
