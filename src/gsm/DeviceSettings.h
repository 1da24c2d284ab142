#pragma once
// The device's own network settings: four queries answered by the firmware
// (not the modem), each reply cut of its terminator and checked against the
// value that means "not set".
#include <optional>
#include <string>
#include <string_view>

#include "link/AppContext.h"

namespace ktx::gsm {

// Firmware below this version number has no settings queries.
inline constexpr int kSettingsReadVersion = 50;

struct AccessPoint {
    std::string name, user, password;
};

// What the read found; a value is present when its reply came with its
// prefix (an empty text empties the edit). Texts are Windows-1251 bytes.
struct DeviceSettings {
    std::optional<std::string> pin;
    std::optional<AccessPoint> accessPoint;
    std::optional<std::string> ip;
    std::optional<std::string> port;
};

// reply: the bytes received (terminator included). The value after prefix
// with the last byte cut, or empty when it reads notSet; nothing when the
// reply lacks the prefix.
std::optional<std::string> takeSettingValue(std::string_view reply, std::string_view prefix, std::string_view notSet);
// The "APNFULL=" reply: three quoted fields; nothing unless a double quote
// follows the prefix. Fields are taken whole, however long.
std::optional<AccessPoint> scanAccessPoint(std::string_view reply);

// Writes its heading and one ": reply" line per query to the GSM console.
DeviceSettings ReadDeviceSettings(AppContext& context);

}  // namespace ktx::gsm
