#pragma once
// The "TELIT" tab: the modem firmware update and its console.
#include <QString>
#include <QWidget>
#include <array>
#include <vector>
#include <functional>
#include <string>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "telit/FirmwareUpdate.h"

class QPlainTextEdit;

namespace Ui {
class TelitTab;
}

namespace ktx {

class TelitTab : public QWidget, public ConsoleTab, private telit::UpdateView {
    Q_OBJECT
public:
    // An update takes the tracker exclusively: the polls wait for its end.
    explicit TelitTab(DeviceAccess device, QWidget* parent = nullptr);
    ~TelitTab() override;

    void TelitInitClick();  // the update
    void Button26Click();   // picks the firmware file
    void Button27Click();   // checks the file's header

    // Where the update's debug files go: the program's working directory.
    void setWorkDir(std::string dir) { workDir_ = std::move(dir); }
    // Shows the file dialog and gives the file chosen, empty when none.
    std::function<QString()> chooseFile;
    // Switches the modem off inside the action running now, with the device
    // its work was given: at the update's end, and in an action of its own
    // for Button28.
    std::function<void(AppContext&)> switchModemOff;

    // The update console.
    QPlainTextEdit* console() const override;

signals:
    // The hidden Button29: save the settings now.
    void saveSettingsRequested();

private:
    Ui::TelitTab* ui;

    void setProgressMaximum(int maximum) override;
    void setProgress(int value) override;
    void powerOff(AppContext& device) override;
    std::string firmwarePath() const;
    QString showFileDialog();

    DeviceAccess device_;
    std::string workDir_ = ".";
    QString lastChosenFile_;  // what the dialog still holds after a cancel
};

}  // namespace ktx
