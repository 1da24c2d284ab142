#pragma once
// The "Входы и выходы" tab: status poll, outputs, frequencies, the serial
// number and version captions, and the debug console.
#include <QTimer>
#include <QWidget>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "io/FrequencyCalc.h"
#include "io/StatusDisplay.h"
#include "io/StatusPoll.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace Ui {
class InputsTab;
}

namespace ktx {

class LivePlotPanel;

class InputsTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    // Makes its own poll timers, Timer1 (the status poll) and Timer6 (the
    // frequencies).
    explicit InputsTab(DeviceAccess device, QWidget* parent = nullptr);
    ~InputsTab() override;

    void ProgramClick();      // toggles the status test
    void startStatusTest();   // starts it unless it runs
    void OutButtonClick();    // toggles output 1
    void OutButton2Click();   // toggles output 2
    void ButtonWorkClick();   // one status poll
    void Timer6Timer();       // frequency calculation

    void loadSettings(const SettingsSection& section) override;
    void saveSettings(SettingsSection& section) const override;

    // The status test, when AutoCheckBox asks for it.
    void runFollowup(IdentificationFollowup followup) override;
    // Z and F11 switch output 1; Esc presses Program.
    bool windowCommand(WindowCommand command) override;
    // What identification found, in the captions (plain text).
    void showSerialText(const QString& text) override;
    void showVersionText(const QString& text) override;
    void setVersionColour(const QColor& colour) override;
    // The debug console.
    QPlainTextEdit* console() const override;

    LivePlotPanel* plot() const { return plot_; }

private:
    Ui::InputsTab* ui;

    void WorkBoxClick();
    void OutBoxClick();
    void OutBox2Click();

    void stopTimers();
    void showFrequencies(const io::FrequencyTick& tick);
    // "ждите" on every frequency panel, until the second tick after a start.
    void showFrequencyWait();
    void applyView(const io::StatusView& view);
    double scaleFactor(const QLineEdit* edit) const;
    std::array<QLabel*, 8> counterPanels() const;
    std::array<QLabel*, 8> frequencyPanels() const;

    DeviceAccess device_;
    QTimer* timer1_;
    QTimer* timer6_;
    // What the polls remember from one tick to the next.
    struct PollMemory {
        explicit PollMemory(AppContext& context) : status(context) {}
        io::StatusPoll status;
        io::FrequencyCalc frequencies;
        // What the counter panels show, beside the stamps of the same polls.
        std::array<std::string, 8> shownCounts;
    };
    WorkerOwned<PollMemory> memory_;
    // What the FREQUENCY log writes for each panel (Windows-1251): the
    // panel's "ждите", or its value with a point and "Hz" whatever the
    // screen's language and separator.
    std::array<std::string, 8> frequencyLogTexts_;
    LivePlotPanel* plot_ = nullptr;
};

}  // namespace ktx
