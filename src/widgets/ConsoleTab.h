#pragma once
// What the window asks of every tab. The window holds a list of these and
// never reaches into a tab's form: each tab keeps its controls to itself.
class QColor;
class QPlainTextEdit;
class QString;

namespace ktx {

struct DeviceInfo;
class SettingsSection;

// What identification starts after it has found a tracker, when a tab's box
// asks for it.
enum class IdentificationFollowup { ReadDeviceSettings, StartStatusTest };
// The window's keys: Z, Я and F11 switch output 1; Esc starts or stops the
// status test.
enum class WindowCommand { SwitchOutput1, StartStopStatusTest };

class ConsoleTab {
public:
    virtual ~ConsoleTab() = default;

    // Fills the tab's controls from its section of the settings file (the
    // one its registration names).
    virtual void loadSettings(const SettingsSection&) {}
    // Writes what the tab's controls hold into its section.
    virtual void saveSettings(SettingsSection&) const {}
    // Stops the tab's running polls (one that polls only while shown).
    virtual void stopPolls() {}
    // While this tab is shown, the other tabs' polls pause (it needs the
    // channel to itself); their boxes stay as they are.
    virtual bool needsChannelAlone() const { return false; }
    // This tab's polls stop whenever another tab is chosen.
    virtual bool pollsOnlyWhileShown() const { return false; }
    // The console the tab holds, if any (its registration says which).
    virtual QPlainTextEdit* console() const { return nullptr; }

    // Identification's part, for the tab that shows or follows it: what it
    // found (plain text)...
    virtual void showSerialText(const QString&) {}
    virtual void showVersionText(const QString&) {}
    virtual void setVersionColour(const QColor&) {}
    // ...and what it starts afterwards when this tab's box (its
    // registration's follow-up flag) asks for it.
    virtual void runFollowup(IdentificationFollowup) {}
    // The modem was switched off by another tab's action (shapes back to red).
    virtual void modemSwitchedOff() {}

    // What one of the window's own keys asks for, where the window has
    // decided the key is its own; false when this tab does nothing with it.
    virtual bool windowCommand(WindowCommand) { return false; }
};

}  // namespace ktx
