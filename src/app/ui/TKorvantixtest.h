#pragma once
// The console's one window: nine tabs, seven poll timers, device
// identification on every device change, settings read at show and written
// at close.
#include <QEvent>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "link/AppContext.h"
#include "base/SettingsValues.h"
#include "app/StorageNotices.h"
#include "app/ui/Consoles.h"
#include "link/FtDriver.h"
#include "link/Identification.h"
#include "link/TimeSource.h"
#include "link/UsbLink.h"

class QPushButton;
class QTimer;

namespace Ui {
class TKorvantixtest;
}

namespace ktx {

class AboutTab;
class AccelTab;
class DeviceActions;
class CanTab;
class ConsoleTab;
class GnssTab;
class GsmTab;
class InputsTab;
class LazyPage;
class OneWireTab;
class Rs485Tab;
class TelitTab;

class TKorvantixtest : public QWidget, public IdentificationView {
    Q_OBJECT
public:
    // The tabs in their order on the window.
    enum TabIndex { kInputs, kGsm, kGnss, kOneWire, kRs485, kCan, kAccel, kTelit, kAbout, kTabCount };

    // Posted to the window when a device may have come or gone.
    static QEvent::Type deviceChangeEventType();

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
    AppContext& context() { return context_; }
    Consoles& consoles() { return consoles_; }
    DeviceInfo& device() { return device_; }

    // A tab's widgets are made when it is first shown; these make them now.
    InputsTab* inputsTab();
    GsmTab* gsmTab();
    GnssTab* gnssTab();
    OneWireTab* oneWireTab();
    Rs485Tab* rs485Tab();
    CanTab* canTab();
    AccelTab* accelTab();
    TelitTab* telitTab();
    AboutTab* aboutTab();
    bool isTabBuilt(int index) const;
    // Every tab made now (tests and screenshots reach into all of them).
    void buildAllTabs();
    // Every device action goes through it: on the device worker thread on
    // the real clock, inline on a virtual one (tests).
    DeviceActions& deviceActions() const { return *actions_; }

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
    QTimer* makeTimer(const char* name, int intervalMs);
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
    void readSettingsIntoTabs();
    void restorePlotsOnce();
    void saveSettings();
    void centreOnScreen();

    std::string settingsPath_;
    std::string workDir_;
    UsbLink link_;
    DeviceInfo device_;
    Consoles consoles_;
    StorageNotices storage_;
    AppContext context_;
    Ui::TKorvantixtest* form_;

    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* Timer3;
    QTimer* Timer4;
    QTimer* Timer5;
    QTimer* Timer6;
    QTimer* TimerAccel;

    std::array<LazyPage*, kTabCount> pages_{};
    QWidget* toolRow_ = nullptr;
    std::array<ConsoleTab*, kTabCount> tabs_{};
    SettingsValues settings_;  // as read at show; kept for the tabs not built
    bool settingsRead_ = false;
    bool plotsPending_ = false;  // read, not yet restored
    bool firmwareKnown_ = false;
    // The device as identification last handed it to the tabs: the GUI
    // thread's copy, for tabs built later (device_ is the worker's).
    DeviceInfo firmware_;

    InputsTab* inputs_ = nullptr;
    GsmTab* gsm_ = nullptr;
    GnssTab* gnss_ = nullptr;
    OneWireTab* oneWire_ = nullptr;
    Rs485Tab* rs485_ = nullptr;
    CanTab* can_ = nullptr;
    AccelTab* accel_ = nullptr;
    TelitTab* telit_ = nullptr;
    AboutTab* about_ = nullptr;

    bool shown_ = false;
    bool settingsSaved_ = false;
    bool closeAfterAction_ = false;  // a close came while an action ran
    int closingSignal_ = 0;          // the signal that asked for the close
    std::unique_ptr<DeviceActions> actions_;
    QObject* deviceChangeKey_ = nullptr;  // identification's place in the queue
};

}  // namespace ktx
