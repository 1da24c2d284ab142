#pragma once
// The "TELIT" tab: the modem firmware update and its console.
#include <QWidget>

#include "app/AppContext.h"

namespace Ui {
class TelitTab;
}

namespace ktx {

class TelitTab : public QWidget {
    Q_OBJECT
public:
    explicit TelitTab(AppContext& context, QWidget* parent = nullptr);
    ~TelitTab() override;

    Ui::TelitTab* ui;

private:
    AppContext& context_;
};

}  // namespace ktx
