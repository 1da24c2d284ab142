#pragma once
// What the window knows of a tab, one registration per area in its ui/
// folder: the build lists them in tab order (KTX_AREAS), and the window
// makes its pages from that list alone.
#include <span>
#include <string>
#include <functional>

#include "base/SettingsSection.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
#include "link/AppContext.h"
#include "widgets/DeviceActions.h"

class QObject;
class QTimer;
class QWidget;

namespace ktx {

// A poll timer the tab makes and owns; the name is the one the action
// trace and the tests know it by.
struct TabTimer {
    const char* name;
    int intervalMs;
};

// A stopped timer of that name and interval, a child of owner.
QTimer* makeTabTimer(QObject* owner, const TabTimer& timer);

// The window's on-screen consoles a tab may hold.
enum class TabConsole { None, Debug, Modem, Rs485, Telit };

// What a tab gets from the window as it is made.
struct TabEnvironment {
    DeviceAccess device;  // what the tab may use of the device side
    std::string workDir;  // the working directory: logs and the tab's files
    // Writes the window's settings now.
    std::function<void()> saveSettings;
    // Switches the tracker's modem off inside the action running now (the
    // end of a modem update), with the device that action's work was given:
    // a core operation, not another tab's.
    std::function<void(AppContext&)> switchModemOffInAction;
};

struct TabRegistration {
    const char* pageName;  // the page's objectName
    const char* title;
    // Makes the tab as the page's child; it is also the tab's ConsoleTab.
    QWidget* (*make)(const TabEnvironment& environment, QWidget* page);
    int minimumFirmware = 0;  // the tab is disabled below this version
    std::span<const VersionRule> gatedControls = {};
    std::span<const TabTimer> timers = {};
    TabConsole console = TabConsole::None;
    // The section of the settings file the tab reads and writes, and its
    // keys; a tab not built yet keeps what was read, as it was read.
    const char* settingsSection = "";
    std::span<const SettingKey> settings = {};
    // A flag among those keys that has identification run a follow-up.
    const char* followupFlag = nullptr;
    IdentificationFollowup followup = IdentificationFollowup::ReadDeviceSettings;
};

}  // namespace ktx
