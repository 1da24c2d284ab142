// The window on the simulated tracker, in virtual time: a tracker pulled out
// and plugged back in as the scenario says, and a serial number with a
// Cyrillic letter.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/ui/TKorvantixtest.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"

namespace ktx {
namespace {

class SimulatedWindow {
public:
    explicit SimulatedWindow(const sim::Scenario& scenario)
        : simulator(time, scenario), window(simulator, time, dir.path().toStdString())
    {
        window.watchPlugChanges([this] { return simulator.pollPlugChange(); });
        window.show();
        // Checked before the first identification runs: it starts the poll.
        child<QCheckBox>("AutoCheckBox")->setChecked(true);
        QApplication::processEvents();
    }

    template <class T>
    T* child(const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
    int debugLines(const QString& line) { return child<QPlainTextEdit>("DebugMemo")->toPlainText().count(line); }
    bool polling() { return child<QTimer>("Timer1")->isActive(); }

    // A tick of a window timer (and what it posts), without real waiting.
    void fire(const char* timerName)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(child<QTimer>(timerName), "timeout"));
        QApplication::processEvents();
    }

    void screenshot(const QString& name)
    {
        const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
        ASSERT_TRUE(QDir().mkpath(outDir));
        EXPECT_TRUE(window.grab().save(QDir(outDir).filePath(name)));
    }

    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator;
    TKorvantixtest window;
};

TEST(ReplugTest, UnpluggedTrackerIsReportedThenIdentifiedAndPolledAgain)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.faults.unplugAtMs = 5000;
    scenario.faults.replugAtMs = 8000;
    SimulatedWindow w(scenario);
    const QString serialLine = QStringLiteral("Серийный номер 1234567");
    const QString versionLine = QStringLiteral("Версия прошивки SUMI-5.7ab (57)");
    const QString notConnected = QStringLiteral("Устройство не подключено");

    ASSERT_EQ(w.debugLines(serialLine), 1);
    EXPECT_EQ(w.debugLines(versionLine), 1);
    ASSERT_TRUE(w.polling());
    w.fire("Timer1");
    EXPECT_TRUE(w.text("VoltagePanel").startsWith(QStringLiteral("55"))) << w.text("VoltagePanel").toStdString();

    w.time.advanceMs(5000);
    w.fire("PlugPollTimer");  // identification finds no tracker and says nothing
    EXPECT_EQ(w.debugLines(serialLine), 1);
    w.fire("Timer1");
    EXPECT_EQ(w.debugLines(notConnected), 1);
    EXPECT_FALSE(w.polling());
    EXPECT_FALSE(w.child<QCheckBox>("WorkBox")->isChecked());
    w.screenshot(QStringLiteral("replug-1-unplugged.png"));

    w.time.advanceMs(3000);
    w.fire("PlugPollTimer");
    EXPECT_EQ(w.debugLines(serialLine), 2);
    EXPECT_EQ(w.debugLines(versionLine), 2);
    ASSERT_TRUE(w.polling()) << "the automatic start runs again for the new device";
    w.child<QLabel>("VoltagePanel")->clear();
    w.fire("Timer1");
    EXPECT_TRUE(w.text("VoltagePanel").startsWith(QStringLiteral("55"))) << w.text("VoltagePanel").toStdString();
    EXPECT_EQ(w.debugLines(notConnected), 1);
    w.screenshot(QStringLiteral("replug-2-polling-again.png"));
}

// Identification follows every device change; with the automatic start
// ticked it starts the status test, and one already running goes on: a
// second identification (another device plugged in) never stops it.
TEST(ReplugTest, AnotherIdentificationLeavesTheRunningStatusTestRunning)
{
    SimulatedWindow w(sim::defaultScenario());
    ASSERT_TRUE(w.polling());
    for (int change = 0; change < 2; ++change) {
        w.window.postDeviceChange();
        QApplication::processEvents();
        EXPECT_TRUE(w.polling()) << "after identification " << change + 2;
        EXPECT_TRUE(w.child<QCheckBox>("WorkBox")->isChecked());
    }
}

TEST(ReplugTest, ACyrillicSerialReadsTheSameOnScreenAndInTheLogName)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.serial = "12345Ж";
    SimulatedWindow w(scenario);
    EXPECT_EQ(w.text("SerPanel"), QStringLiteral("12345Ж"));
    w.fire("Timer1");
    const std::filesystem::path ain = std::filesystem::path(w.dir.path().toStdString()) / "AIN";
    EXPECT_TRUE(std::filesystem::exists(ain / "AINstream-12345Ж.txt"));
}

}  // namespace
}  // namespace ktx
