#pragma once
// What the window asks of every tab. The window holds a list of these and
// never reaches into a tab's form: each tab keeps its controls to itself.
namespace ktx {

struct DeviceInfo;
struct SettingsValues;

class ConsoleTab {
public:
    virtual ~ConsoleTab() = default;

    // Fills the tab's controls from the settings file.
    virtual void loadSettings(const SettingsValues&) {}
    // Writes the values this tab holds; the others are left as they are.
    virtual void saveSettings(SettingsValues&) const {}
    // Stops the tab's running polls.
    virtual void stopPolls() {}
    // While this tab is shown, the other tabs' polls stop (it needs the
    // channel to itself).
    virtual bool needsChannelAlone() const { return false; }
    // This tab's polls stop whenever another tab is chosen.
    virtual bool pollsOnlyWhileShown() const { return false; }
    // Identification understood the firmware version (device.version).
    virtual void applyFirmware(const DeviceInfo&) {}
};

}  // namespace ktx
