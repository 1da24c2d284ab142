#pragma once
// The "GSM/GPRS" tab: modem test settings, state and the modem console.
#include <QTimer>
#include <QWidget>

#include "base/AppContext.h"

namespace Ui {
class GsmTab;
}

namespace ktx {

class GsmTab : public QWidget {
    Q_OBJECT
public:
    // timer1: the status poll, stopped by every modem action.
    GsmTab(AppContext& context, QTimer* timer1, QWidget* parent = nullptr);
    ~GsmTab() override;

    // Reads the device's own network settings into the edits.
    void ReadGSMParamsClick();
    // Switches the modem off; also the TELIT tab's Button28 and the end of
    // every modem firmware update.
    void Button13Click();

    Ui::GsmTab* ui;

private:
    AppContext& context_;
    QTimer* timer1_;
};

}  // namespace ktx
