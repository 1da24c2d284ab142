#pragma once
// The settings file: what the technician typed or chose on the main window,
// kept between runs in "Korvantix_control.ini" in the working directory.
#include <string>

#include "base/SettingsValues.h"

namespace ktx {

constexpr const char* kSettingsFileName = "Korvantix_control.ini";

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
