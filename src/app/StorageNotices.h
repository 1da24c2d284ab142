#pragma once
// What the console could not keep: a settings file it could not read (left
// untouched, defaults used, nothing written over it) and a working directory
// where nothing can be written. Each is said on the debug console when it is
// found and gathered into one message for the technician at exit, before
// the changes of the session are lost without a word.
#include <string>
#include <vector>

#include "app/Settings.h"
#include "base/LogSink.h"

namespace ktx {

class StorageNotices {
public:
    StorageNotices(std::string workDir, LogSink& log);

    // Once, at start-up: can the settings and data logs be written here?
    void checkWorkDir();
    // The settings file's values, or the defaults when it is missing or
    // cannot be read; an existing file that cannot be read is never written.
    // sections: the tabs' sections at their defaults.
    SettingsValues loadSettings(std::vector<SettingsSection> sections);
    void saveSettings(const SettingsValues& values);

    // UTF-8; empty when there is nothing to tell.
    std::string exitMessage() const;

private:
    void notice(const std::string& utf8);

    std::string workDir_;
    std::string settingsPath_;
    LogSink& log_;
    bool workDirWritable_ = true;
    bool settingsKeptAsTheyAre_ = false;
    std::vector<std::string> notices_;
};

}  // namespace ktx
