#pragma once
// What the settings file holds: what the technician typed or chose on the
// tabs, kept between runs.
#include <array>
#include <map>
#include <string>

namespace ktx {

struct SettingsValues {
    bool autoStart = false;
    std::string pin, apnapn, apnusr, apnpwd, ip, port, telnum, sms;  // UTF-8
    bool readGsmAuto = true;
    std::array<std::string, 8> llsAddr{"1", "2", "3", "4", "5", "6", "7", "8"};
    // Live plots the user had shown, by plot name, in a section of their
    // own ("PLOTS", written once a plot has been shown); a plot not listed
    // starts hidden.
    std::map<std::string, bool> plotsShown;
    // [RESULTS] Database: where the "Протокол" runs are stored, as
    // korvantix-check --results takes it; empty: the SQLite file beside the
    // protocols. Only read: the window never writes it.
    std::string resultsDatabase;
};

}  // namespace ktx
