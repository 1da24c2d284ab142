// The four live plots in the window against the simulated tracker's default
// scenario: curves drawn from the tabs' own polls (with screenshots), one
// plot per tab following the current tab, and the choice kept in a section
// of its own of the settings file.
#include <QAction>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QLineSeries>
#include <QPainter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "accel/ui/AccelTab.h"
#include "app/Settings.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/LivePlotPanel.h"
#include "can/ui/CanTab.h"
#include "io/ui/InputsTab.h"
#include "link/VirtualTimeSource.h"
#include "rs485/ui/Rs485Tab.h"
#include "sim/SimDriver.h"
#include "support/FileBytes.h"
#include "support/WindowTabs.h"

namespace ktx {
namespace {

struct PlotCase {
    const char* name;
    std::function<QWidget*(TKorvantixtest&)> tab;
    std::function<LivePlotPanel*(TKorvantixtest&)> plot;
    std::function<void(TKorvantixtest&)> poll;  // one tick of the tab's poll timer
    int intervalMs;
    int polls;  // enough to fill the plot's span
};

const PlotCase kCases[] = {
    {"Inputs", [](TKorvantixtest& w) -> QWidget* { return test::inputsTab(w); },
        [](TKorvantixtest& w) { return test::inputsTab(w)->plot(); }, [](TKorvantixtest& w) { test::inputsTab(w)->ButtonWorkClick(); },
        200, 300},
    {"Rs485", [](TKorvantixtest& w) -> QWidget* { return test::rs485Tab(w); },
        [](TKorvantixtest& w) { return test::rs485Tab(w)->plot(); }, [](TKorvantixtest& w) { test::rs485Tab(w)->Button12Click(); },
        125, 2400},
    {"Can", [](TKorvantixtest& w) -> QWidget* { return test::canTab(w); },
        [](TKorvantixtest& w) { return test::canTab(w)->plot(); }, [](TKorvantixtest& w) { test::canTab(w)->CANPushClick(); }, 250,
        1200},
    {"Accel", [](TKorvantixtest& w) -> QWidget* { return test::accelTab(w); },
        [](TKorvantixtest& w) { return test::accelTab(w)->plot(); }, [](TKorvantixtest& w) { test::accelTab(w)->TimerAccelTimer(); },
        100, 100},
};

struct LivePlotWindowTest : ::testing::Test {
    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator{time, sim::defaultScenario()};
    std::unique_ptr<TKorvantixtest> window;

    void open()
    {
        window = std::make_unique<TKorvantixtest>(simulator, time, dir.path().toStdString());
        window->show();
        QApplication::processEvents();  // identification
    }
    QTabWidget* pages() { return window->findChild<QTabWidget*>("PageControl1"); }


};

// The window and its plot side by side, as they sit on the screen.
void saveScreenshot(TKorvantixtest& window, LivePlotPanel& plot, const char* name)
{
    const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QPixmap left = window.grab();
    const QPixmap right = plot.grab();
    QImage both(left.width() + right.width(), std::max(left.height(), right.height()), QImage::Format_RGB32);
    both.fill(Qt::darkGray);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, left);
    painter.drawPixmap(left.width(), 0, right);
    painter.end();
    EXPECT_TRUE(both.save(QDir(outDir).filePath(QStringLiteral("plot-%1.png").arg(QLatin1String(name)))));
}

TEST_F(LivePlotWindowTest, EachTabsPollDrawsItsCurvesOverItsSpan)
{
    open();
    for (const PlotCase& c : kCases) {
        SCOPED_TRACE(c.name);
        // A tab sits on the page built for it.
        pages()->setCurrentWidget(c.tab(*window)->parentWidget());
        LivePlotPanel* plot = c.plot(*window);
        ASSERT_NE(plot, nullptr);
        plot->toggleAction()->trigger();
        ASSERT_TRUE(plot->isVisible());
        for (int i = 0; i < c.polls; ++i) {
            time.advanceMs(c.intervalMs);
            c.poll(*window);
        }
        plot->flush();
        // Every series has a value from every poll of the default scenario,
        // and the whole span is drawn as one unbroken run each.
        ASSERT_EQ(plot->ring().size(), size_t(c.polls));
        for (size_t series = 0; series < plot->ring().seriesCount(); ++series)
            for (size_t i = 0; i < plot->ring().size(); ++i)
                ASSERT_TRUE(std::isfinite(plot->ring().valueAt(i, series))) << "series " << series << " poll " << i;
        for (size_t series = 0; series < plot->ring().seriesCount(); ++series)
            EXPECT_EQ(plot->runLengths(series).size(), 1u) << "series " << series;
        saveScreenshot(*window, *plot, c.name);
    }
}

TEST_F(LivePlotWindowTest, APollThatFailsLeavesAGapInTheCurve)
{
    open();
    InputsTab* tab = test::inputsTab(*window);
    for (int i = 0; i < 5; ++i) {
        time.advanceMs(200);
        tab->ButtonWorkClick();
    }
    simulator.setPlugged(false);
    time.advanceMs(200);
    tab->ButtonWorkClick();
    const SampleRing& ring = tab->plot()->ring();
    ASSERT_EQ(ring.size(), 6u);
    for (size_t series = 0; series < ring.seriesCount(); ++series) {
        EXPECT_GT(ring.valueAt(4, series), 0.5);
        EXPECT_TRUE(std::isnan(ring.valueAt(5, series))) << series;
    }
}

TEST_F(LivePlotWindowTest, OnlyTheCurrentTabsPlotShowsAndCtrlGTogglesIt)
{
    open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    LivePlotPanel* inputs = test::inputsTab(*window)->plot();
    LivePlotPanel* can = test::canTab(*window)->plot();
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(inputs->wanted());
    EXPECT_FALSE(can->wanted());

    pages()->setCurrentWidget(test::canTab(*window)->parentWidget());
    EXPECT_FALSE(inputs->isVisible());
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(can->isVisible());
    EXPECT_TRUE(inputs->wanted());
    pages()->setCurrentWidget(test::inputsTab(*window)->parentWidget());
    EXPECT_TRUE(inputs->isVisible());
    EXPECT_FALSE(can->isVisible());
}

TEST_F(LivePlotWindowTest, TheChoiceIsKeptInItsOwnSectionLeavingTheOtherKeysAlone)
{
    const std::string before = "; kept\r\n[CONFIG]\r\nAutoStart=1\r\n[GSM]\r\nPIN=1234\r\nReadGSMAuto=0\r\n[485]\r\nLLSAddr3=7\r\n";
    {
        QFile file(dir.filePath("Korvantix_control.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before.data(), qint64(before.size()));
    }
    open();
    test::inputsTab(*window)->plot()->setWanted(true);
    test::canTab(*window)->plot()->setWanted(true);
    window->close();
    const std::string after = test::readBytes(window->settingsPath());
    // Every line that was there still is, in its order, with its value.
    size_t from = 0;
    for (size_t start = 0, end; (end = before.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = before.substr(start, end - start + 2);
        from = after.find(line, from);
        ASSERT_NE(from, std::string::npos) << line << "\nin\n" << after;
    }
    // Tabs never opened have no plot yet, and so no key.
    EXPECT_NE(after.find("[PLOTS]\r\nCan=1\r\nInputs=1\r\n"), std::string::npos) << after;

    open();
    // Its tab is the current one: it opens once the window is painted.
    LivePlotPanel* restored = test::inputsTab(*window)->plot();
    EXPECT_TRUE(QTest::qWaitFor([restored] { return restored->isVisible(); }, 2000));
    EXPECT_TRUE(test::canTab(*window)->plot()->wanted());
    EXPECT_FALSE(test::canTab(*window)->plot()->isVisible());
    EXPECT_FALSE(test::rs485Tab(*window)->plot()->wanted());
}

// A plot kept shown opens once the window is painted; a window closed
// before that keeps it shown in the settings, and one opened meanwhile stays.
TEST_F(LivePlotWindowTest, APlotKeptShownSurvivesACloseBeforeItOpened)
{
    const std::string kept = "[PLOTS]\r\nInputs=1\r\n";
    for (bool openCanFirst : {false, true}) {
        SCOPED_TRACE(openCanFirst);
        {
            QFile file(dir.filePath("Korvantix_control.ini"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(kept.data(), qint64(kept.size()));
        }
        window = std::make_unique<TKorvantixtest>(simulator, time, dir.path().toStdString());
        window->show();  // no event handled: not painted yet
        EXPECT_FALSE(test::inputsTab(*window)->plot()->wanted());
        if (openCanFirst)
            test::canTab(*window)->plot()->setWanted(true);
        window->close();
        const std::string after = test::readBytes(window->settingsPath());
        EXPECT_NE(after.find("Inputs=1\r\n"), std::string::npos) << after;
        EXPECT_EQ(after.find("Can=1\r\n") != std::string::npos, openCanFirst) << after;
        window.reset();
    }
}

TEST(PlotSettingsTest, TheSectionAppearsOnceAPlotWasShownAndThenRemembersHidingIt)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("Korvantix_control.ini").toStdString();
    SettingsValues values;
    values.window.plotsShown = {{"Inputs", false}, {"Can", false}};
    ASSERT_TRUE(writeSettings(path, values));
    EXPECT_EQ(test::readBytes(path).find("[PLOTS]"), std::string::npos);  // never shown: the file as it was

    values.window.plotsShown["Can"] = true;
    ASSERT_TRUE(writeSettings(path, values));
    EXPECT_EQ(readSettings(path, {}).window.plotsShown, (std::map<std::string, bool>{{"Can", true}, {"Inputs", false}}));

    values.window.plotsShown["Can"] = false;  // hidden again: kept as hidden, not forgotten
    ASSERT_TRUE(writeSettings(path, values));
    EXPECT_EQ(readSettings(path, {}).window.plotsShown, (std::map<std::string, bool>{{"Can", false}, {"Inputs", false}}));
}

}  // namespace
}  // namespace ktx
