#pragma once
// The "Входы и выходы" tab: status poll, outputs, frequencies, the serial
// number and version captions, and the debug console.
#include <QTimer>
#include <QWidget>

#include "link/AppContext.h"
#include "io/FrequencyCalc.h"
#include "io/StatusDisplay.h"
#include "io/StatusPoll.h"

class QLabel;
class QLineEdit;

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

    // What the polls have gathered, for the frequency tick and for tests.
    const io::StatusPoll& statusPoll() const { return poll_; }

    Ui::InputsTab* ui;

private:
    void WorkBoxClick();
    void OutBoxClick();
    void OutBox2Click();

    void blinkHeartbeat();
    void applyView(const io::StatusView& view);
    double scaleFactor(const QLineEdit* edit) const;
    std::array<QLabel*, 8> counterPanels() const;
    std::array<QLabel*, 8> frequencyPanels() const;

    AppContext& context_;
    QTimer* timer1_;
    QTimer* timer6_;
    io::StatusPoll poll_;
    io::FrequencyCalc frequencies_;
};

}  // namespace ktx
