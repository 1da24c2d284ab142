#include "base/SettingsSection.h"

#include <stdexcept>

namespace ktx {

SettingsSection::SettingsSection(const char* name, std::span<const SettingKey> keys) : name_(name), keys_(keys)
{
    for (const SettingKey& key : keys_)
        values_.emplace_back(key.defaultValue);
}

size_t SettingsSection::indexOf(std::string_view key) const
{
    for (size_t index = 0; index < keys_.size(); ++index)
        if (key == keys_[index].key)
            return index;
    throw std::out_of_range("no key " + std::string(key) + " in settings section " + name_);
}

const std::string& SettingsSection::text(std::string_view key) const
{
    return values_[indexOf(key)];
}

bool SettingsSection::flag(std::string_view key) const
{
    return text(key) == "1";
}

void SettingsSection::setText(std::string_view key, std::string value)
{
    values_[indexOf(key)] = std::move(value);
}

void SettingsSection::setFlag(std::string_view key, bool on)
{
    setText(key, on ? "1" : "0");
}

}  // namespace ktx
