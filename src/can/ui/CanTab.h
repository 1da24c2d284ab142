#pragma once
// The "CAN" tab: the CAN monitor, decoded J1939 values and the snapshot.
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
#include "can/CanMonitor.h"
#include "can/CanSnapshot.h"

class QLabel;
class QLineEdit;
class QTableWidget;

namespace Ui {
class CanTab;
}

namespace ktx {

class LivePlotPanel;
class ShapeWidget;

class CanTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    // Makes its own poll timer, Timer3.
    explicit CanTab(DeviceAccess device, QWidget* parent = nullptr);
    ~CanTab() override;

    // Older firmware has no CAN: the tab itself is disabled below this.
    static constexpr int kMinimumFirmware = 53;
    static std::span<const VersionRule> versionRules();

    void CANPushClick();    // one poll (Timer3's tick, the hidden CANPush)
    void CheckBox2Click();  // CheckBox2's state drives Timer3
    void Button15Click();   // flips CheckBox2
    void Button21Click();   // writes the decoded snapshot file

    // The grids keep their header rows as ordinary cells, written at show time.
    void writeGridHeaders();
    // Forgets the frames last decoded (every byte 0xFF, not available).
    void resetLastDecoded();

    // Where ./CAN lies: the window's working directory.
    void setWorkDir(std::string workDir) { workDir_ = std::move(workDir); }
    LivePlotPanel* plot() const { return plot_; }

    // The monitor's record of the frames last decoded, per group.
    const can::DecodedRecord& lastDecoded(AppContext& device) { return monitor_.in(device).lastDecoded(); }

private:
    Ui::CanTab* ui;

    // The snapshot but its serial number and version: what the form shows.
    can::CanSnapshot formSnapshot() const;
    void applyView(const can::CanView& view);
    void applyRows(QTableWidget* grid, const std::vector<can::RowWrite>& rows);
    void keyCellChanged(QTableWidget* grid, can::KeyedRows can::CanGrids::*keys, int row, int column);
    std::array<QLabel*, can::kPanelCount> panels() const;
    std::array<QLineEdit*, can::kIdBoxCount> idBoxes() const;
    std::array<ShapeWidget*, can::kLampCount> lamps() const;

    DeviceAccess device_;
    WorkerOwned<can::CanMonitor> monitor_;  // the grids' keys and the frames last decoded
    QTimer* timer3_;
    std::string workDir_ = ".";
    LivePlotPanel* plot_ = nullptr;
};

}  // namespace ktx
