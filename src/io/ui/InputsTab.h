#pragma once
// The "Входы и выходы" tab: status poll, outputs, frequencies, the serial
// number and version captions, and the debug console.
#include <QTimer>
#include <QWidget>

#include "app/AppContext.h"

namespace Ui {
class InputsTab;
}

namespace ktx {

class InputsTab : public QWidget {
    Q_OBJECT
public:
    InputsTab(AppContext& context, QTimer* timer1, QTimer* timer6, QWidget* parent = nullptr);
    ~InputsTab() override;

    void ProgramClick();      // toggles the status test
    void OutButtonClick();    // toggles output 1
    void OutButton2Click();   // toggles output 2
    void ButtonWorkClick();   // one status poll
    void Timer6Timer();       // frequency calculation

    Ui::InputsTab* ui;

private:
    AppContext& context_;
    QTimer* timer1_;
    QTimer* timer6_;
};

}  // namespace ktx
