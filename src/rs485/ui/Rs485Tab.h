#pragma once
// The "485/LLS" tab: fuel level sensors, the input extender, the 485 console.
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
#include "rs485/ExtenderPoll.h"
#include "rs485/FuelSensors.h"

class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;

namespace Ui {
class Rs485Tab;
}

namespace ktx {

class LivePlotPanel;
class StyledShape;

class Rs485Tab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    // Makes its own poll timers: Timer2 (the fuel sensors), Timer5 (the
    // extender).
    explicit Rs485Tab(DeviceAccess device, QWidget* parent = nullptr);
    ~Rs485Tab() override;

    // Older firmware has no RS-485: the tab itself is disabled below this.
    static constexpr int kMinimumFirmware = 53;
    static std::span<const VersionRule> versionRules();

    void loadSettings(const SettingsSection& section) override;
    void saveSettings(SettingsSection& section) const override;
    // The RS-485 console.
    QPlainTextEdit* console() const override;

    void CheckBox1Click();  // CheckBox1's state drives Timer2
    void Button14Click();   // flips CheckBox1
    void Button12Click();   // one fuel sensor poll
    void Button24Click();   // adds 8 to every address
    void RashirClick();     // one extender poll
    void Button23Click();   // flips RashirEnable

    // LLSAddr1..LLSAddr8 in slot order.
    std::array<QLineEdit*, 8> addressEdits() const;

    // Where an error meant for the user goes; a message box unless replaced
    // (tests replace it, since a modal box would wait for a click).
    using MessageHandler = std::function<void(const QString& text)>;
    void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }

    LivePlotPanel* plot() const { return plot_; }

private:
    void showFuel(const rs485::FuelOutcome& outcome);
    void showExtender(const rs485::ExtenderOutcome& outcome);
    struct FuelSlot {
        QLineEdit* address = nullptr;  // LLSAddrN
        QProgressBar* bar = nullptr;   // LLSBarN
        QLabel* level = nullptr;       // LLSLevelN
        QLabel* temperature = nullptr; // LLSTemperN
    };
    struct InputCell {
        QFrame* cell = nullptr;   // PanelvN
        QLabel* value = nullptr;  // inN
        QLabel* front = nullptr;  // ImageNz
    };

    void RashirEnableClick();
    FuelSlot buildSlot(int number, QGroupBox* group, const QColor& captionColor);
    InputCell buildCell(int input, int column, int row);
    void showInputs(const std::array<bool, rs485::kExtenderInputs>& states);

    Ui::Rs485Tab* ui;
    DeviceAccess device_;
    QTimer* timer2_;
    QTimer* timer5_;
    std::array<FuelSlot, rs485::kFuelSlots> slots_;
    std::array<InputCell, rs485::kExtenderInputs> cells_;
    MessageHandler showMessage_;
    StyledShape* shapeRash_ = nullptr;
    LivePlotPanel* plot_ = nullptr;
};

}  // namespace ktx
