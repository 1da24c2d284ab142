#pragma once
// The "485/LLS" tab: fuel level sensors, the input extender, the 485 console.
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>

#include "base/AppContext.h"

namespace Ui {
class Rs485Tab;
}

namespace ktx {

class Rs485Tab : public QWidget {
    Q_OBJECT
public:
    Rs485Tab(AppContext& context, QTimer* timer2, QTimer* timer5, QWidget* parent = nullptr);
    ~Rs485Tab() override;

    void CheckBox1Click();  // CheckBox1's state drives Timer2
    void Button14Click();   // flips CheckBox1

    // LLSAddr1..LLSAddr8 in slot order.
    std::array<QLineEdit*, 8> addressEdits() const;

    Ui::Rs485Tab* ui;

private:
    AppContext& context_;
    QTimer* timer2_;
    QTimer* timer5_;
};

}  // namespace ktx
