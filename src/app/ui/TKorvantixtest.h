#pragma once
// The console's one window: nine tabs, seven poll timers, device
// identification on every device change, settings read at show and written
// at close.
#include <QEvent>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "link/AppContext.h"
#include "app/ui/Consoles.h"
#include "link/FtDriver.h"
#include "link/Identification.h"
#include "link/TimeSource.h"
#include "link/UsbLink.h"

class QTimer;

namespace Ui {
class TKorvantixtest;
}

namespace ktx {

class AboutTab;
class AccelTab;
class ActionGuard;
class CanTab;
class GnssTab;
class GsmTab;
class InputsTab;
class OneWireTab;
class Rs485Tab;
class TelitTab;

class TKorvantixtest : public QWidget, public IdentificationView {
    Q_OBJECT
public:
    // Posted to the window when a device may have come or gone.
    static QEvent::Type deviceChangeEventType();

    // workDir holds the settings file and the logs ("." in the program).
    TKorvantixtest(FtDriver& driver, TimeSource& time, const std::string& workDir = ".", QWidget* parent = nullptr);
    ~TKorvantixtest() override;

    void postDeviceChange();
    // Calls poll every 250 ms and posts a device change when it says so
    // (the simulated tracker's plug state).
    void watchPlugChanges(std::function<bool()> poll);

    void FormShow();
    void FormDestroy();
    void PageControl1Change(int index);

    const std::string& settingsPath() const { return settingsPath_; }
    AppContext& context() { return context_; }
    Consoles& consoles() { return consoles_; }
    DeviceInfo& device() { return device_; }

    InputsTab* inputsTab() const { return inputs_; }
    GsmTab* gsmTab() const { return gsm_; }
    GnssTab* gnssTab() const { return gnss_; }
    OneWireTab* oneWireTab() const { return oneWire_; }
    Rs485Tab* rs485Tab() const { return rs485_; }
    CanTab* canTab() const { return can_; }
    AccelTab* accelTab() const { return accel_; }
    TelitTab* telitTab() const { return telit_; }
    AboutTab* aboutTab() const { return about_; }
    // Null on a virtual clock: nothing waits there, so nothing is pumped.
    ActionGuard* actionGuard() const { return actionGuard_.get(); }

    // IdentificationView
    void showSerialText(const std::string& serialText) override;
    void showVersionText(const std::string& versionText) override;
    void setVersionColourGreen(bool green) override;
    void applyRule(const VersionRule& rule, bool on) override;
    bool readGsmAutoChecked() const override;
    bool autoCheckChecked() const override;
    void readGsmParams() override;
    void programClick() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTimer* makeTimer(const char* name, int intervalMs);
    void buildTabs();
    void readSettingsIntoControls();
    void centreOnScreen();

    std::string settingsPath_;
    UsbLink link_;
    DeviceInfo device_;
    Consoles consoles_;
    AppContext context_;
    Ui::TKorvantixtest* ui;

    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* Timer3;
    QTimer* Timer4;
    QTimer* Timer5;
    QTimer* Timer6;
    QTimer* TimerAccel;

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
    std::unique_ptr<ActionGuard> actionGuard_;
};

}  // namespace ktx
