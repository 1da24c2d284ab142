#pragma once
// The "GSM/GPRS" tab: modem test settings, state and the modem console.
#include <QWidget>

#include "app/AppContext.h"

namespace Ui {
class GsmTab;
}

namespace ktx {

class GsmTab : public QWidget {
    Q_OBJECT
public:
    explicit GsmTab(AppContext& context, QWidget* parent = nullptr);
    ~GsmTab() override;

    // Reads the device's own network settings into the edits.
    void ReadGSMParamsClick();

    Ui::GsmTab* ui;

private:
    AppContext& context_;
};

}  // namespace ktx
