#pragma once
// The settings file: what the technician typed or chose on the main window,
// kept between runs in "Korvantix_control.ini" in the working directory.
// Each tab owns a section of its own; the window keeps the rest.
#include <map>
#include <string>
#include <vector>

#include "app/ProfileFile.h"
#include "base/FileWriter.h"
#include "base/SettingsSection.h"

namespace ktx {

constexpr const char* kSettingsFileName = "Korvantix_control.ini";

// The window's own keys.
struct WindowSettings {
    // Live plots the user had shown, by plot name, in a section of their
    // own ("PLOTS", written once a plot has been shown); a plot not listed
    // starts hidden.
    std::map<std::string, bool> plotsShown;
    // [RESULTS] Database: where the "Протокол" runs are stored, as
    // korvantix-check --results takes it; empty: the SQLite file beside the
    // protocols. Only read: the window never writes it.
    std::string resultsDatabase;
};

struct SettingsValues {
    std::vector<SettingsSection> sections;  // the tabs', written in this order
    WindowSettings window;
};

// sections: the tabs' sections at their defaults. A missing file or key
// keeps its default; a key present with an empty value reads as empty; a
// flag follows profileInt. how, when given, says whether the file was read.
SettingsValues readSettings(const std::string& path, std::vector<SettingsSection> sections,
    ProfileFile::LoadResult* how = nullptr);
// Writes every key (texts as Windows-1251, line breaks dropped), keeping the
// file's other content. The caller must not write a file it could not read:
// its other content would be lost.
WriteResult writeSettings(const std::string& path, const SettingsValues& values);

// The profile-file integer rule: optional blanks and sign, then decimal
// digits or a "$"/"0x" hexadecimal number; anything else is the default.
int profileInt(const std::string& text, int defaultValue);

}  // namespace ktx
