#pragma once
// The "GSM/GPRS" tab: modem test settings, the column of step tests with
// their state shapes, the AT console and the device settings read.
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "link/AppContext.h"
#include "base/ui/ConsoleTab.h"
#include "base/ui/VersionRules.h"
#include "gsm/ModemTests.h"

class QLineEdit;
class QPushButton;
class QPlainTextEdit;

namespace Ui {
class GsmTab;
}

namespace ktx {

class GsmTab : public QWidget, public ConsoleTab, private gsm::ModemView {
    Q_OBJECT
public:
    // timer1: the status poll, stopped by every modem action.
    GsmTab(AppContext& context, QTimer* timer1, QWidget* parent = nullptr);
    ~GsmTab() override;

    // Older firmware has no modem tests: the tab itself is disabled below this.
    static constexpr int kMinimumFirmware = 52;
    static std::span<const VersionRule> versionRules();

    void loadSettings(const SettingsValues& values) override;
    void saveSettings(SettingsValues& values) const override;
    bool needsChannelAlone() const override { return true; }
    void applyFirmware(const DeviceInfo& device) override;

    // ReadGSMAuto: identification reads the device's settings too.
    bool readsDeviceSettingsOnIdentification() const;
    // The modem console.
    QPlainTextEdit* console() const;

    // Where the microphone and speaker tests write their files.
    void setWorkDir(const std::string& workDir);

    // Reads the device's own network settings into the edits.
    void ReadGSMParamsClick();
    // Switches the modem off; also the TELIT tab's Button28 and the end of
    // every modem firmware update.
    void Button13Click();
    // The modem off inside the device action already running (the end of
    // a firmware update).
    void powerOffInRunningAction();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void ATButtonClick();
    void Button25Click();
    void ButtonSoundClick();
    void Button22Click();

private:
    void stopStatusPoll() override;
    void paintShape(int mode, bool passed) override;
    void paintShapeNow(int mode, bool passed);
    // Queues one modem step; what it needs from the form is read now.
    template <class Action>
    void run(QPushButton* button, Action action);
    std::string bytes(const QLineEdit* edit) const;
    void showValue(QLineEdit* edit, const std::string& bytes);

    Ui::GsmTab* ui;
    AppContext& context_;
    QTimer* timer1_;
    gsm::ModemTests tests_;
};

}  // namespace ktx
