#pragma once
// One section of the settings file as the tab that owns it keeps it: its
// keys in the order they are written, each with its default, and their
// values (UTF-8; a flag "1" or "0").
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ktx {

enum class SettingKind { Text, Flag };

struct SettingKey {
    const char* key;
    SettingKind kind;
    const char* defaultValue;
};

class SettingsSection {
public:
    SettingsSection() = default;
    // Every key at its default.
    SettingsSection(const char* name, std::span<const SettingKey> keys);

    const char* name() const { return name_; }
    std::span<const SettingKey> keys() const { return keys_; }
    // By position, in the order of keys().
    const std::string& value(size_t index) const { return values_.at(index); }
    void setValue(size_t index, std::string value) { values_.at(index) = std::move(value); }

    // By name; a key the section does not have is a programming error
    // (std::out_of_range).
    const std::string& text(std::string_view key) const;
    bool flag(std::string_view key) const;
    void setText(std::string_view key, std::string value);
    void setFlag(std::string_view key, bool on);

private:
    size_t indexOf(std::string_view key) const;

    const char* name_ = "";
    std::span<const SettingKey> keys_;
    std::vector<std::string> values_;
};

}  // namespace ktx
