#pragma once
// What the settings file holds: what the technician typed or chose on the
// tabs, kept between runs.
#include <array>
#include <string>

namespace ktx {

struct SettingsValues {
    bool autoStart = false;
    std::string pin, apnapn, apnusr, apnpwd, ip, port, telnum, sms;  // UTF-8
    bool readGsmAuto = true;
    std::array<std::string, 8> llsAddr{"1", "2", "3", "4", "5", "6", "7", "8"};
};

}  // namespace ktx
