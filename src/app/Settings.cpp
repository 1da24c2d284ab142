#include "app/Settings.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/ProfileFile.h"
#include "base/TextCodec.h"

namespace ktx {
namespace {

constexpr const char* kPlots = "PLOTS";

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

void readSection(const ProfileFile& file, SettingsSection& section)
{
    for (size_t index = 0; index < section.keys().size(); ++index) {
        const SettingKey& key = section.keys()[index];
        if (key.kind == SettingKind::Flag) {
            const bool on = readBool(file, section.name(), key.key, section.value(index) == "1");
            section.setValue(index, on ? "1" : "0");
            continue;
        }
        std::string text = section.value(index);
        readText(file, section.name(), key.key, text);
        section.setValue(index, std::move(text));
    }
}

void writeSection(ProfileFile& file, const SettingsSection& section)
{
    for (size_t index = 0; index < section.keys().size(); ++index) {
        const SettingKey& key = section.keys()[index];
        file.set(section.name(), key.key,
            key.kind == SettingKind::Flag ? section.value(index) : cp1251FromUtf8(section.value(index)));
    }
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

SettingsValues readSettings(const std::string& path, std::vector<SettingsSection> sections, ProfileFile::LoadResult* how)
{
    const ProfileFile file = ProfileFile::load(path, how);
    SettingsValues values{std::move(sections), {}};
    for (SettingsSection& section : values.sections)
        readSection(file, section);
    readText(file, "RESULTS", "Database", values.window.resultsDatabase);
    for (const std::string& name : file.keys(kPlots))
        values.window.plotsShown[name] = readBool(file, kPlots, name.c_str(), false);
    return values;
}

WriteResult writeSettings(const std::string& path, const SettingsValues& values)
{
    ProfileFile file = ProfileFile::load(path);
    for (const SettingsSection& section : values.sections)
        writeSection(file, section);
    // A file whose user never showed a plot gains no section for them.
    const std::map<std::string, bool>& plots = values.window.plotsShown;
    const bool anyShown = std::any_of(plots.begin(), plots.end(), [](const auto& plot) { return plot.second; });
    if (anyShown || !file.keys(kPlots).empty())
        for (const auto& [name, shown] : plots)
            file.set(kPlots, name, shown ? "1" : "0");
    return file.save(path);
}

}  // namespace ktx
