#pragma once
// The "TELIT" tab: the modem firmware update and its console.
#include <QTimer>
#include <QWidget>
#include <array>

#include "base/AppContext.h"

namespace Ui {
class TelitTab;
}

namespace ktx {

class GsmTab;

class TelitTab : public QWidget {
    Q_OBJECT
public:
    // pollTimers: Timer1 to Timer5, stopped for an update; gsm powers the
    // modem off at its end.
    TelitTab(AppContext& context, std::array<QTimer*, 5> pollTimers, GsmTab* gsm, QWidget* parent = nullptr);
    ~TelitTab() override;

    Ui::TelitTab* ui;

private:
    AppContext& context_;
    std::array<QTimer*, 5> pollTimers_;
    GsmTab* gsm_;
};

}  // namespace ktx
