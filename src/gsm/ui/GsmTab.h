#pragma once
// The "GSM/GPRS" tab: modem test settings, the column of step tests with
// their state shapes, the AT console and the device settings read.
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "link/AppContext.h"
#include "gsm/ModemTests.h"

class QLineEdit;

namespace Ui {
class GsmTab;
}

namespace ktx {

class GsmTab : public QWidget, private gsm::ModemView {
    Q_OBJECT
public:
    // timer1: the status poll, stopped by every modem action.
    GsmTab(AppContext& context, QTimer* timer1, QWidget* parent = nullptr);
    ~GsmTab() override;

    // Where the microphone and speaker tests write their files.
    void setWorkDir(const std::string& workDir);

    // Reads the device's own network settings into the edits.
    void ReadGSMParamsClick();
    // Switches the modem off; also the TELIT tab's Button28 and the end of
    // every modem firmware update.
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

    Ui::GsmTab* ui;

private:
    void stopStatusPoll() override;
    void paintShape(int mode, bool passed) override;
    // Runs one action unless another is still running (the window keeps
    // handling clicks while a long modem wait is pumped).
    template <class Action>
    void run(Action action);
    std::string bytes(const QLineEdit* edit) const;
    void showValue(QLineEdit* edit, const std::string& bytes);

    AppContext& context_;
    QTimer* timer1_;
    gsm::ModemTests tests_;
    bool busy_ = false;
};

}  // namespace ktx
