#pragma once
// The "GSM/GPRS" tab: modem test settings, the column of step tests with
// their state shapes, the AT console and the device settings read.
#include <QWidget>
#include <memory>
#include <string>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
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
    // Every modem step takes the tracker exclusively: the polls pause while
    // it waits or runs and go on afterwards.
    explicit GsmTab(DeviceAccess device, QWidget* parent = nullptr);
    ~GsmTab() override;

    // Older firmware has no modem tests: the tab itself is disabled below this.
    static constexpr int kMinimumFirmware = 52;
    static std::span<const VersionRule> versionRules();

    void loadSettings(const SettingsSection& section) override;
    void saveSettings(SettingsSection& section) const override;
    bool needsChannelAlone() const override { return true; }

    // The device's settings read, when ReadGSMAuto asks for it.
    void runFollowup(IdentificationFollowup followup) override;
    // Every shape red again.
    void modemSwitchedOff() override;
    // The modem console.
    QPlainTextEdit* console() const override;

    // Where the microphone and speaker tests write their files.
    void setWorkDir(const std::string& workDir);

    // Reads the device's own network settings into the edits.
    void ReadGSMParamsClick();
    // Switches the modem off.
    void Button13Click();
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
    DeviceAccess device_;
    WorkerOwned<gsm::ModemTests> tests_;
};

}  // namespace ktx
