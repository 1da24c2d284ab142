#pragma once
// The "Акселерометр" tab: the three axes and the vector magnitude.
#include <QTimer>
#include <QWidget>

#include "base/AppContext.h"

namespace Ui {
class AccelTab;
}

namespace ktx {

class AccelTab : public QWidget {
    Q_OBJECT
public:
    AccelTab(AppContext& context, QTimer* timerAccel, QWidget* parent = nullptr);
    ~AccelTab() override;

    void ButtonStartAxelClick();  // starts or stops the poll
    void stopTest();              // stops the poll and shows the start caption

    Ui::AccelTab* ui;

private:
    AppContext& context_;
    QTimer* timerAccel_;
};

}  // namespace ktx
