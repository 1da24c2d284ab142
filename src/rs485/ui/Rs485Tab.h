#pragma once
// The "485/LLS" tab: fuel level sensors, the input extender, the 485 console.
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "link/AppContext.h"
#include "rs485/ExtenderPoll.h"
#include "rs485/FuelSensors.h"

class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;

namespace Ui {
class Rs485Tab;
}

namespace ktx {

class StyledShape;

class Rs485Tab : public QWidget {
    Q_OBJECT
public:
    Rs485Tab(AppContext& context, QTimer* timer2, QTimer* timer5, QWidget* parent = nullptr);
    ~Rs485Tab() override;

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

    Ui::Rs485Tab* ui;

private:
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
    void blinkHeartbeat();
    void showInputs(const std::array<bool, rs485::kExtenderInputs>& states);

    AppContext& context_;
    QTimer* timer2_;
    QTimer* timer5_;
    std::array<FuelSlot, rs485::kFuelSlots> slots_;
    std::array<InputCell, rs485::kExtenderInputs> cells_;
    MessageHandler showMessage_;
    StyledShape* shapeRash_ = nullptr;
};

}  // namespace ktx
