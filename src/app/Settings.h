#pragma once
// The settings file: what the technician typed or chose on the main window,
// kept between runs in "Korvantix_control.ini" in the working directory.
#include <array>
#include <map>
#include <string>

namespace ktx {

constexpr const char* kSettingsFileName = "Korvantix_control.ini";

struct SettingsValues {
    bool autoStart = false;
    std::string pin, apnapn, apnusr, apnpwd, ip, port, telnum, sms;  // UTF-8
    bool readGsmAuto = true;
    std::array<std::string, 8> llsAddr{"1", "2", "3", "4", "5", "6", "7", "8"};
    // Live plots the user had shown, by plot name, in a section of their
    // own ("PLOTS", written once a plot has been shown); a plot not listed
    // starts hidden.
    std::map<std::string, bool> plotsShown;
};

// A missing file or key takes its default; a key present with an empty
// value reads as empty.
SettingsValues readSettings(const std::string& path);
// Writes every key (texts as Windows-1251, line breaks dropped), keeping the
// file's other content. False when the file could not be written.
bool writeSettings(const std::string& path, const SettingsValues& values);

// The profile-file integer rule: optional blanks and sign, then decimal
// digits or a "$"/"0x" hexadecimal number; anything else is the default.
int profileInt(const std::string& text, int defaultValue);

}  // namespace ktx
