#pragma once
// The console's one window: the areas' tabs from their registrations and
// the About page, device identification on every device change, settings
// read at show and written at close.
#include <QEvent>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "app/Settings.h"
#include "app/StorageNotices.h"
#include "app/ui/Consoles.h"
#include "app/ui/DeviceSide.h"
#include "link/FtDriver.h"
#include "link/Identification.h"
#include "link/TimeSource.h"

class QPushButton;
class QTimer;

namespace Ui {
class TKorvantixtest;
}

namespace ktx {

class AboutTab;
class DeviceActions;
class LazyPage;
struct TabRegistration;

class TKorvantixtest : public QWidget, public IdentificationView {
    Q_OBJECT
public:
    // Posted to the window when a device may have come or gone.
    static QEvent::Type deviceChangeEventType();
    // The areas' tabs, in the window's order (About follows them).
    static std::span<const TabRegistration* const> areaTabs();

    // workDir holds the settings file and the logs ("." in the program).
    TKorvantixtest(FtDriver& driver, TimeSource& time, const std::string& workDir = ".", QWidget* parent = nullptr);
    ~TKorvantixtest() override;

    // A button in the tool row at the tab bar's right end (the "ToolRow"
    // widget), after those added before; the caller connects it.
    QPushButton* addToolButton(const QString& text, const QString& objectName);

    void postDeviceChange();
    // Calls poll every 250 ms and posts a device change when it says so
    // (the simulated tracker's plug state).
    void watchPlugChanges(std::function<bool()> poll);

    // A close asked for by SIGTERM, SIGINT or SIGHUP: nobody may be at the
    // screen, so what the closing notice says goes to standard error and the
    // debug console instead of a message box.
    void closeForSignal(int signalNumber);

    void FormShow();
    void FormDestroy();
    void PageControl1Change(int index);

    const std::string& settingsPath() const { return settingsPath_; }
    // Every tab's settings section at its defaults, in page order.
    static std::vector<SettingsSection> settingsSections();
    // What GUI code may use of the device side.
    DeviceAccess deviceAccess() { return deviceSide_.access(); }
    Consoles& consoles() { return consoles_; }

    // The pages: the areas' tabs in their registered order, then About.
    int tabCount() const { return static_cast<int>(pages_.size()); }
    // The index of the page of that objectName, -1 for none.
    int tabIndex(const QString& pageName) const;
    // A tab's widgets are made when it is first shown; this makes them now.
    QWidget* tabWidget(int index);
    template <class Tab>
    Tab* tabNamed(const QString& pageName)
    {
        const int index = tabIndex(pageName);
        return index < 0 ? nullptr : dynamic_cast<Tab*>(tabWidget(index));
    }
    AboutTab* aboutTab();
    bool isTabBuilt(int index) const;
    // Every tab made now (tests and screenshots reach into all of them).
    void buildAllTabs();
    // Every device action goes through it: on the device worker thread on
    // the real clock, inline on a virtual one (tests).
    DeviceActions& deviceActions() const { return deviceSide_.actions(); }

    // IdentificationView
    void showSerialText(const std::string& serialText) override;
    void showVersionText(const std::string& versionText) override;
    void setVersionColourGreen(bool green) override;
    void applyFirmware(const DeviceInfo& device) override;
    bool readGsmAutoChecked() const override;
    bool autoCheckChecked() const override;
    void readGsmParams() override;
    void startStatusTest() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Z, F11, the Russian layout's Я and Esc, where they are the window's;
    // false when the key is not taken.
    bool windowKey(int key);
    void identifyQueued();
    // KTX_DEBUG_GEOMETRY=<file name>: every button's, edit's and tab's name
    // and screen rectangle, for tests that drive the window with real input.
    void writeDebugGeometry();
    void closeAfterRunningAction();
    void sayClosingAfterAction();
    void addPages();
    QWidget* buildTab(int index, QWidget* page);
    QWidget* makeTab(int index, QWidget* page);
    ConsoleTab* tab(int index);
    // The tabs made so far, in page order.
    std::vector<ConsoleTab*> builtTabs() const;
    void applyGatedControls(QWidget& tab, int index) const;
    // The modem off inside the running action, with the device its work
    // was given, then every tab told so.
    void switchModemOffInAction(AppContext& device);
    // The first tab that acts on it.
    bool toTabs(WindowCommand command);
    // Whether the tab's follow-up flag is set: its box, or for a tab not
    // built yet, its section as read.
    bool tabFollows(int index, IdentificationFollowup followup) const;
    bool anyTabFollows(IdentificationFollowup followup) const;
    void runFollowup(IdentificationFollowup followup);
    void readSettingsIntoTabs();
    void restorePlotsOnce();
    void saveSettings();
    void centreOnScreen();

    std::string settingsPath_;
    std::string workDir_;
    Consoles consoles_;
    StorageNotices storage_;
    // The link and the device, reached only inside an action's work.
    DeviceSide deviceSide_;
    Ui::TKorvantixtest* form_;

    std::vector<LazyPage*> pages_;
    QWidget* toolRow_ = nullptr;
    std::vector<ConsoleTab*> tabs_;  // null until built
    // As read at show (the tabs' sections at their defaults until then),
    // one section per area tab; kept for the tabs not built.
    SettingsValues settings_;
    bool settingsRead_ = false;
    bool plotsPending_ = false;  // read, not yet restored
    bool firmwareKnown_ = false;
    // The device as identification last handed it to the tabs: the GUI
    // thread's copy, for tabs built later (the device side's is the worker's).
    DeviceInfo firmware_;

    AboutTab* about_ = nullptr;

    bool shown_ = false;
    bool settingsSaved_ = false;
    bool pollsHeld_ = false;         // by the tab shown, which needs the channel alone
    bool closeAfterAction_ = false;  // a close came while an action ran
    int closingSignal_ = 0;          // the signal that asked for the close
    QObject* deviceChangeKey_ = nullptr;  // identification's place in the queue
};

}  // namespace ktx
