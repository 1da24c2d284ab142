#include "app/Settings.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/ProfileFile.h"
#include "base/TextCodec.h"

namespace ktx {
namespace {

constexpr const char* kConfig = "CONFIG";
constexpr const char* kGsm = "GSM";
constexpr const char* k485 = "485";
constexpr const char* kPlots = "PLOTS";

// The GSM texts in the order they are written.
struct GsmText {
    const char* key;
    std::string SettingsValues::*field;
};
constexpr GsmText kGsmTexts[] = {
    {"PIN", &SettingsValues::pin},       {"apnapn", &SettingsValues::apnapn},
    {"apnusr", &SettingsValues::apnusr}, {"apnpwd", &SettingsValues::apnpwd},
    {"ip", &SettingsValues::ip},         {"Port", &SettingsValues::port},
    {"telnum", &SettingsValues::telnum}, {"sms", &SettingsValues::sms},
};

std::string llsKey(size_t index)
{
    return "LLSAddr" + std::to_string(index + 1);
}

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

bool readBool(const ProfileFile& file, const char* section, const char* key, bool defaultValue)
{
    const auto text = file.get(section, key);
    if (!text)
        return defaultValue;
    return profileInt(*text, defaultValue ? 1 : 0) != 0;
}

void readText(const ProfileFile& file, const char* section, const std::string& key, std::string& field)
{
    if (const auto text = file.get(section, key))
        field = utf8FromCp1251(*text);
}

}  // namespace

int profileInt(const std::string& text, int defaultValue)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return defaultValue;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return defaultValue;
        value = value * base + digit;
        if (value > int64_t(INT32_MAX) + 1)
            return defaultValue;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX)
        return defaultValue;
    return static_cast<int>(value);
}

SettingsValues readSettings(const std::string& path, ProfileFile::LoadResult* how)
{
    const ProfileFile file = ProfileFile::load(path, how);
    SettingsValues values;
    values.autoStart = readBool(file, kConfig, "AutoStart", values.autoStart);
    for (const GsmText& text : kGsmTexts)
        readText(file, kGsm, text.key, values.*text.field);
    values.readGsmAuto = readBool(file, kGsm, "ReadGSMAuto", values.readGsmAuto);
    for (size_t i = 0; i < values.llsAddr.size(); ++i)
        readText(file, k485, llsKey(i), values.llsAddr[i]);
    readText(file, "RESULTS", "Database", values.resultsDatabase);
    for (const std::string& name : file.keys(kPlots))
        values.plotsShown[name] = readBool(file, kPlots, name.c_str(), false);
    return values;
}

WriteResult writeSettings(const std::string& path, const SettingsValues& values)
{
    ProfileFile file = ProfileFile::load(path);
    file.set(kConfig, "AutoStart", values.autoStart ? "1" : "0");
    for (const GsmText& text : kGsmTexts)
        file.set(kGsm, text.key, cp1251FromUtf8(values.*text.field));
    file.set(kGsm, "ReadGSMAuto", values.readGsmAuto ? "1" : "0");
    for (size_t i = 0; i < values.llsAddr.size(); ++i)
        file.set(k485, llsKey(i), cp1251FromUtf8(values.llsAddr[i]));
    // A file whose user never showed a plot gains no section for them.
    const bool anyShown = std::any_of(values.plotsShown.begin(), values.plotsShown.end(),
        [](const auto& plot) { return plot.second; });
    if (anyShown || !file.keys(kPlots).empty())
        for (const auto& [name, shown] : values.plotsShown)
            file.set(kPlots, name, shown ? "1" : "0");
    return file.save(path);
}

}  // namespace ktx
