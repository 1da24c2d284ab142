#pragma once
// The "GPS/ГЛОНАСС" tab: antenna and receiver test, device clock.
#include <QWidget>

#include "base/AppContext.h"

namespace Ui {
class GnssTab;
}

namespace ktx {

class GnssTab : public QWidget {
    Q_OBJECT
public:
    explicit GnssTab(AppContext& context, QWidget* parent = nullptr);
    ~GnssTab() override;

    Ui::GnssTab* ui;

private:
    AppContext& context_;
};

}  // namespace ktx
