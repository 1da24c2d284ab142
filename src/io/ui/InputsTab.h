#pragma once
// The "Входы и выходы" tab: status poll, outputs, frequencies, the serial
// number and version captions, and the debug console.
#include <QTimer>
#include <QWidget>

#include "link/AppContext.h"
#include "base/ui/ConsoleTab.h"
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
    InputsTab(AppContext& context, QTimer* timer1, QTimer* timer6, QWidget* parent = nullptr);
    ~InputsTab() override;

    void ProgramClick();      // toggles the status test
    void startStatusTest();   // starts it unless it runs
    void OutButtonClick();    // toggles output 1
    void OutButton2Click();   // toggles output 2
    void ButtonWorkClick();   // one status poll
    void Timer6Timer();       // frequency calculation

    void loadSettings(const SettingsValues& values) override;
    void saveSettings(SettingsValues& values) const override;
    void stopPolls() override;  // the continuous status poll (WorkBox)

    // AutoCheckBox: identification starts the status test too.
    bool startsStatusTestOnIdentification() const;
    // The Program button as the window's cancel key presses it.
    void pressProgram();
    // What identification found, in the captions (plain text).
    void showSerialText(const QString& text);
    void showVersionText(const QString& text);
    void setVersionColour(const QColor& colour);
    // The debug console.
    QPlainTextEdit* console() const;

    // What the polls have gathered, for the frequency tick and for tests.
    const io::StatusPoll& statusPoll() const { return poll_; }
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
    // What the counter panels show, kept by the device worker beside the
    // stamps of the same polls.
    std::array<std::string, 8> shownCounts_;
    // What the FREQUENCY log writes for each panel (Windows-1251): the
    // panel's "ждите", or its value with a point and "Hz" whatever the
    // screen's language and separator.
    std::array<std::string, 8> frequencyLogTexts_;
    LivePlotPanel* plot_ = nullptr;
};

}  // namespace ktx
