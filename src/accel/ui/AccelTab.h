#pragma once
// The "Акселерометр" tab: the three axes and the vector magnitude.
#include <QTimer>
#include <QWidget>
#include <array>

#include "accel/AccelReading.h"
#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"

class QLabel;

namespace Ui {
class AccelTab;
}

namespace ktx {

class LivePlotPanel;

class AccelTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    // Makes its own poll timer, TimerAccel.
    explicit AccelTab(DeviceAccess device, QWidget* parent = nullptr);
    ~AccelTab() override;

    void ButtonStartAxelClick();  // starts or stops the poll
    void stopTest();              // stops the poll and shows the start caption
    void TimerAccelTimer();       // one poll

    void stopPolls() override { stopTest(); }
    bool pollsOnlyWhileShown() const override { return true; }
    LivePlotPanel* plot() const { return plot_; }

private:
    Ui::AccelTab* ui;

    void applyView(const accel::AccelView& view);
    std::array<QLabel*, accel::kArrowCount> greenArrows() const;
    std::array<QLabel*, accel::kArrowCount> redArrows() const;

    DeviceAccess device_;
    QTimer* timerAccel_;
    LivePlotPanel* plot_ = nullptr;
};

}  // namespace ktx
