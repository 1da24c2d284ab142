#pragma once
// The "TELIT" tab: the modem firmware update and its console.
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "base/AppContext.h"
#include "telit/FirmwareUpdate.h"

namespace Ui {
class TelitTab;
}

namespace ktx {

class GsmTab;

class TelitTab : public QWidget, private telit::UpdateView {
    Q_OBJECT
public:
    // pollTimers: Timer1 to Timer5, stopped for an update; gsm powers the
    // modem off at its end.
    TelitTab(AppContext& context, std::array<QTimer*, 5> pollTimers, GsmTab* gsm, QWidget* parent = nullptr);
    ~TelitTab() override;

    void TelitInitClick();  // the update
    void Button26Click();   // picks the firmware file
    void Button27Click();   // checks the file's header

    // Where the update's debug files go: the program's working directory.
    void setWorkDir(std::string dir) { workDir_ = std::move(dir); }
    // Shows the file dialog and gives the file chosen, empty when none.
    std::function<QString()> chooseFile;

    Ui::TelitTab* ui;

private:
    void stopPollTimers() override;
    void setProgress(int value) override;
    void powerOff() override;
    std::string firmwarePath() const;
    QString showFileDialog();

    AppContext& context_;
    std::array<QTimer*, 5> pollTimers_;
    GsmTab* gsm_;
    std::string workDir_ = ".";
    QString lastChosenFile_;  // what the dialog still holds after a cancel
};

}  // namespace ktx
