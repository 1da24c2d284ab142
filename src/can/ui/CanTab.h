#pragma once
// The "CAN" tab: the CAN monitor, decoded J1939 values and the snapshot.
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "base/AppContext.h"

class QTableWidget;

namespace Ui {
class CanTab;
}

namespace ktx {

class CanTab : public QWidget {
    Q_OBJECT
public:
    CanTab(AppContext& context, QTimer* timer3, QWidget* parent = nullptr);
    ~CanTab() override;

    void CheckBox2Click();  // CheckBox2's state drives Timer3
    void Button15Click();   // flips CheckBox2

    // The grids keep their header rows as ordinary cells, written at show time.
    void writeGridHeaders();
    // Marks every decoded value as "not available" (J1939's 0xFF).
    void resetLastDecoded();

    // The monitor's record of the last decoded values.
    std::array<uint8_t, 256> lastDecoded{};

    Ui::CanTab* ui;

private:
    AppContext& context_;
    QTimer* timer3_;
};

}  // namespace ktx
