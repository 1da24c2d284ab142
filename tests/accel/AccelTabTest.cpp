// The "Акселерометр" tab: start and stop, polls against a scripted device and
// the simulated tracker.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <cmath>

#include "accel/ui/AccelTab.h"
#include "widgets/LivePlotPanel.h"
#include "widgets/PanelColors.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

using test::control;

constexpr const char* kGreenNames[] = {"ImageBack", "ImageFront", "ImageLeft", "ImageRight", "ImageUp", "ImageDown"};
constexpr const char* kRedNames[] = {"RedBack", "RedFront", "RedLeft", "RedRight", "RedUp", "RedDown"};

// Which of the twelve arrows show, green ones first.
std::vector<std::string> shownArrows(QWidget& tab)
{
    std::vector<std::string> shown;
    for (const char* name : kGreenNames)
        if (!control<QLabel>(tab, name)->isHidden())
            shown.emplace_back(name);
    for (const char* name : kRedNames)
        if (!control<QLabel>(tab, name)->isHidden())
            shown.emplace_back(name);
    return shown;
}

struct AccelTabTest : ::testing::Test {
    VirtualTimeSource time;
    test::ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    AccelTab tab{context};
    QTimer& timerAccel = *tab.findChild<QTimer*>("TimerAccel");

    QString text(const char* name) { return control<QLabel>(tab, name)->text(); }
    int bar(const char* name) { return control<QProgressBar>(tab, name)->value(); }
    QColor heartbeat() { return colors::background(control<QFrame>(tab, "Panel53")); }
};

TEST_F(AccelTabTest, StartsStoppedWithEverythingShownThenFollowsTheReplies)
{
    EXPECT_FALSE(timerAccel.isActive());
    EXPECT_EQ(shownArrows(tab).size(), 12u);
    EXPECT_EQ(text("LabelA1"), "-");
    EXPECT_EQ(text("LabelA4"), "-");
    EXPECT_EQ(bar("AProgressBar"), 0);
    EXPECT_EQ(control<QProgressBar>(tab, "AProgressBar")->maximum(), 128);
    EXPECT_EQ(control<QProgressBar>(tab, "AProgressBar")->orientation(), Qt::Vertical);
    EXPECT_EQ(control<QLabel>(tab, "RedUp")->size(), QSize(467, 260));
    EXPECT_EQ(control<QLabel>(tab, "Image30")->size(), QSize(440, 169));
    const QColor initial = heartbeat();

    driver.onCommand("GACCELERATE$", {"ACCELERATE=0,0,64,4096;"});
    tab.TimerAccelTimer();
    EXPECT_EQ(driver.writes(), std::vector<std::string>{"GACCELERATE$"});
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
    EXPECT_EQ(shownArrows(tab), (std::vector<std::string>{"ImageDown", "RedDown"}));
    EXPECT_EQ(text("LabelA1"), "0");
    EXPECT_EQ(text("LabelA3"), "64");
    EXPECT_EQ(text("LabelA4"), "4096");
    EXPECT_EQ(bar("ProgressBarZ"), 64);
    EXPECT_EQ(bar("AProgressBar"), 64);
    EXPECT_EQ(heartbeat(), colors::kYellow);
    EXPECT_NE(initial, colors::kYellow);

    driver.onCommand("GACCELERATE$", {"ACCELERATE=-200,7,", "-33,-5;"});  // in two transfers
    tab.TimerAccelTimer();
    EXPECT_EQ(shownArrows(tab), (std::vector<std::string>{"ImageBack", "ImageRight", "ImageUp", "RedBack", "RedUp"}));
    EXPECT_EQ(text("LabelA1"), "-200");
    EXPECT_EQ(bar("ProgressBarX"), 128);
    EXPECT_EQ(bar("ProgressBarZ"), 33);
    EXPECT_EQ(text("LabelA4"), "-5");
    EXPECT_EQ(bar("AProgressBar"), 0);
    EXPECT_EQ(heartbeat(), colors::kBlue);

    // Three fields or silence: nothing changes, not even the heartbeat.
    driver.onCommand("GACCELERATE$", {"ACCELERATE=1,2,3;"});
    tab.TimerAccelTimer();
    driver.onCommand("GACCELERATE$", {});
    tab.TimerAccelTimer();
    EXPECT_EQ(text("LabelA1"), "-200");
    EXPECT_EQ(heartbeat(), colors::kBlue);
}

// A row caption on the tab and a curve of the plot that share a name show
// the same quantity: "Модуль" is the squared length, which the plot does
// not draw.
TEST_F(AccelTabTest, PlotCurvesNamedLikeTheTabsRowsPlotTheirValues)
{
    driver.onCommand("GACCELERATE$", {"ACCELERATE=3,-4,60,3625;"});
    tab.TimerAccelTimer();
    auto* plot = tab.findChild<LivePlotPanel*>();
    ASSERT_NE(plot, nullptr);
    const QString csv = QDir::temp().filePath(QStringLiteral("ktx-accel-%1.csv").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(plot->saveCsv(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    file.remove();
    ASSERT_EQ(lines.size(), 2);
    const QStringList names = lines[0].trimmed().split(QLatin1Char(','));
    const QStringList values = lines[1].trimmed().split(QLatin1Char(','));
    const std::pair<const char*, const char*> rows[] = {
        {"Label162", "LabelA1"}, {"Label164", "LabelA2"}, {"Label166", "LabelA3"}, {"Label168", "LabelA4"}};
    int shared = 0;
    for (const auto& [caption, value] : rows) {
        const qsizetype column = names.indexOf(text(caption));
        if (column < 0)
            continue;
        ++shared;
        EXPECT_EQ(values.value(column).toDouble(), text(value).toDouble()) << text(caption).toStdString();
    }
    EXPECT_EQ(shared, 3) << "the three axes: " << lines[0].toStdString();
    EXPECT_NEAR(values.last().toDouble(), std::sqrt(3625.0), 1e-3) << "the last curve is the vector's length";
}

TEST_F(AccelTabTest, ButtonTogglesAndAFailedOpenStopsThePoll)
{
    auto* button = control<QPushButton>(tab, "ButtonStartAxel");
    button->click();
    EXPECT_TRUE(timerAccel.isActive());
    EXPECT_EQ(button->text(), "Остановить проверку");
    button->click();
    EXPECT_FALSE(timerAccel.isActive());
    EXPECT_EQ(button->text(), "Начать проверку");

    button->click();
    driver.failCall("FT_Open");
    timerAccel.timeout({});
    EXPECT_FALSE(timerAccel.isActive());
    EXPECT_EQ(button->text(), "Начать проверку");
    EXPECT_EQ(driver.countCalls("FT_Write"), 0);
    EXPECT_TRUE(log.debug.empty());
}

// Ten polls a second against the default simulated tracker in virtual time.
TEST(AccelTabSimulated, LiveAxesFromTheDefaultScenario)
{
    VirtualTimeSource time;
    sim::SimDriver driver(time, sim::defaultScenario());
    UsbLink link(driver, time);
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    AccelTab tab(context);
    QTimer& timerAccel = *tab.findChild<QTimer*>("TimerAccel");
    tab.findChild<QPushButton*>("ButtonStartAxel")->click();

    std::set<QString> xValues;
    int redSeen = 0;
    const int64_t startMs = time.monotonicMs();
    for (int tick = 0; tick < 75; ++tick) {
        time.advanceMs(100);
        timerAccel.timeout({});
        xValues.insert(tab.findChild<QLabel*>("LabelA1")->text());
        for (const char* name : kRedNames)
            redSeen += tab.findChild<QLabel*>(name)->isHidden() ? 0 : 1;
    }
    // Each poll costs little beyond the device's own reply time.
    EXPECT_LT(time.monotonicMs() - startMs, 75 * 100 + 75 * 20);
    EXPECT_GT(xValues.size(), 10u);
    EXPECT_GT(redSeen, 0);
    const int magnitude = tab.findChild<QProgressBar*>("AProgressBar")->value();
    EXPECT_NEAR(magnitude, 64, 5);
    EXPECT_FALSE(tab.findChild<QLabel*>("ImageDown")->isHidden());
    EXPECT_TRUE(timerAccel.isActive());

    ktx::test::saveScreenshot(tab, "accel_tab.png");
}

}  // namespace
}  // namespace ktx
