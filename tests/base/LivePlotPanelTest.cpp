// The live plot window: redrawn only while it shows, curves broken at gaps,
// the span it looks back over, its right-click menu and the user's choice.
#include <QAction>
#include <QChart>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>
#include <cmath>
#include <gtest/gtest.h>

#include "base/SampleCsv.h"
#include "widgets/LivePlotPanel.h"
#include "support/FileBytes.h"

namespace ktx {
namespace {

const PlotSetup kSetup{"Test", "Проба", "В", 1000, 100, {{"a", Qt::red}, {"b", Qt::blue}}, {10, 10}};

struct LivePlotPanelTest : ::testing::Test {
    int64_t nowMs = 0;
    QWidget host;
    LivePlotPanel* plot = new LivePlotPanel(kSetup, [this] { return SampleTime{nowMs, 1796817600000LL + nowMs}; }, &host);
    QStringList messages;

    LivePlotPanelTest()
    {
        plot->setMessageHandler([this](const QString& text) { messages << text; });
        host.show();
    }

    void feed(std::initializer_list<double> values)
    {
        nowMs += 100;
        plot->append(values);
    }

    // The drawn runs of series a (0) or b (1): the points of each.
    std::vector<int> runs(const char* name) { return plot->runLengths(name[0] == 'a' ? 0 : 1); }

    QAction* menuAction(const char* name) { return plot->findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST_F(LivePlotPanelTest, AHiddenPlotKeepsSamplesAndDrawsNothingUntilShown)
{
    for (int i = 0; i < 30; ++i)
        feed({double(i), 1});
    EXPECT_FALSE(plot->isVisible());
    EXPECT_EQ(plot->redraws(), 0);
    EXPECT_EQ(plot->ring().size(), 30u);
    EXPECT_TRUE(runs("a").empty());
    // Nor has it built its chart: that waits for the first showing.
    EXPECT_EQ(plot->findChild<QWidget*>("PlotView"), nullptr);

    plot->toggleAction()->trigger();  // the tab's button or Ctrl+G
    ASSERT_TRUE(plot->isVisible());
    EXPECT_NE(plot->findChild<QWidget*>("PlotView"), nullptr);
    EXPECT_EQ(plot->redraws(), 1);
    // Only the last second: 11 samples 100 ms apart, newest at 0 s.
    EXPECT_EQ(runs("a"), std::vector<int>{11});
    const QPolygonF& drawn = plot->curve(0).points;
    EXPECT_EQ(drawn.last(), QPointF(0, 29));
    EXPECT_EQ(drawn.first(), QPointF(-1, 19));

    // Feeding a shown plot never draws in the poll itself; one redraw
    // later takes every sample since.
    for (int i = 0; i < 5; ++i)
        feed({1, 1});
    EXPECT_EQ(plot->redraws(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(plot->redraws(), 2, 2000);
    QTest::qWait(LivePlotPanel::kRefreshMs + 50);
    EXPECT_EQ(plot->redraws(), 2);

    host.hide();  // its tab is no longer the current one
    EXPECT_FALSE(plot->isVisible());
    for (int i = 0; i < 5; ++i)
        feed({2, 2});
    QTest::qWait(LivePlotPanel::kRefreshMs + 50);
    EXPECT_EQ(plot->redraws(), 2);
    host.show();
    EXPECT_TRUE(plot->isVisible());
    EXPECT_EQ(plot->redraws(), 3);
}

TEST_F(LivePlotPanelTest, AGapBreaksTheCurveAndIsNeverDrawnAsZero)
{
    plot->setWanted(true);
    feed({1, 5});
    feed({2, kNoValue});  // b missing from this poll only
    feed({3, 6});
    nowMs += 100;
    plot->appendGap();  // the whole poll failed
    feed({4, 7});
    feed({5, 8});
    plot->flush();
    EXPECT_EQ(runs("a"), (std::vector<int>{3, 2}));
    EXPECT_EQ(runs("b"), (std::vector<int>{1, 1, 2}));
    for (size_t series = 0; series < 2; ++series)
        for (const QPointF& point : plot->curve(series).points)
            EXPECT_NE(point.y(), 0.0);

    // Fewer gaps later: the extra runs are emptied, not left on screen.
    for (int i = 0; i < 12; ++i)
        feed({1, 1});
    plot->flush();
    EXPECT_EQ(runs("a"), std::vector<int>{11});
    EXPECT_EQ(runs("b"), std::vector<int>{11});
}

TEST_F(LivePlotPanelTest, PauseFreezesTheDrawingButKeepsRecording)
{
    plot->setWanted(true);
    feed({1, 1});
    plot->flush();
    const int before = plot->redraws();
    menuAction("PauseAction")->trigger();
    EXPECT_TRUE(plot->paused());
    for (int i = 0; i < 4; ++i)
        feed({2, 2});
    QTest::qWait(LivePlotPanel::kRefreshMs + 50);
    EXPECT_EQ(plot->redraws(), before);
    EXPECT_EQ(runs("a"), std::vector<int>{1});
    EXPECT_EQ(plot->ring().size(), 5u);
    menuAction("PauseAction")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(runs("a"), std::vector<int>{5}, 2000);

    menuAction("ClearAction")->trigger();
    EXPECT_TRUE(plot->ring().empty());
    EXPECT_TRUE(runs("a").empty());
}

TEST_F(LivePlotPanelTest, MenuSavesPngAndCsvWhereTheUserChoseAndReportsAFailure)
{
    QTemporaryDir dir;
    plot->setWanted(true);
    feed({12.5, 0.1});
    feed({12.75, kNoValue});
    QString chosen;
    QString suggested;
    plot->setPathChooser([&](const QString&, const QString&, const QString& name) {
        suggested = name;
        return chosen;
    });

    chosen = dir.filePath("volts.csv");
    menuAction("SaveCsvAction")->trigger();
    EXPECT_EQ(suggested, "Test_2026-12-09T12-00-00.csv");
    EXPECT_EQ(test::readBytes(chosen.toStdString()), samplesCsv(plot->ring(), {"a", "b"}));

    chosen = dir.filePath("volts.png");
    menuAction("SavePngAction")->trigger();
    QImage image;
    ASSERT_TRUE(image.load(chosen));
    EXPECT_EQ(image.size(), plot->findChild<QWidget*>("PlotView")->size());

    chosen.clear();  // the dialog cancelled
    menuAction("SaveCsvAction")->trigger();
    EXPECT_TRUE(messages.isEmpty());

    chosen = dir.filePath("missing/volts.csv");
    menuAction("SaveCsvAction")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(chosen)) << messages[0].toStdString();
}

TEST_F(LivePlotPanelTest, TheChoiceFollowsTheButtonTheCloseBoxAndTheSettings)
{
    QToolButton* button = host.findChild<QToolButton*>("TestPlotButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry().topLeft(), kSetup.buttonAt);
    button->click();
    EXPECT_TRUE(plot->wanted());
    EXPECT_TRUE(plot->isVisible());
    EXPECT_EQ(livePlotsWanted(&host), (std::map<std::string, bool>{{"Test", true}}));

    plot->close();  // the window's own close box: hidden and remembered as such
    EXPECT_FALSE(plot->wanted());
    EXPECT_FALSE(plot->isVisible());
    EXPECT_FALSE(button->isChecked());

    restoreLivePlots(&host, {{"Test", true}, {"Other", true}});
    EXPECT_TRUE(plot->isVisible());
    restoreLivePlots(&host, {});
    EXPECT_FALSE(plot->wanted());
}

TEST(PlotPlacementTest, WindowAndPlotSideBySideOnTheScreen)
{
    // The main window 785 × 449 and the plot 540 × 449, each with a 5-pixel
    // border and a 25-pixel title bar.
    const QSize mainFrame(795, 479);
    const QSize plotFrame = LivePlotPanel::kSize + QSize(10, 30);
    struct Case {
        const char* what;
        QRect available;
        QPoint mainAt;
        QPoint expectedMain;
        QPoint expectedPlot;
    };
    const Case cases[] = {
        {"1366 × 768 with a 40-pixel panel, main window centred", {0, 0, 1366, 728}, {285, 124}, {21, 124}, {816, 124}},
        {"wide screen: nothing moves", {0, 0, 1920, 1040}, {562, 280}, {562, 280}, {1357, 280}},
        {"main window partly below the screen: the plot stays on it", {0, 0, 1920, 1040}, {100, 700}, {100, 700}, {895, 561}},
        {"second screen to the right", {1920, 0, 1366, 768}, {2205, 144}, {1941, 144}, {2736, 144}},
        {"too narrow for both: the plot keeps to the right edge", {0, 0, 1024, 768}, {114, 144}, {0, 144}, {474, 144}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PlotPlacement place = placeBeside(QRect(c.mainAt, mainFrame), plotFrame, c.available);
        EXPECT_EQ(place.mainTopLeft, c.expectedMain);
        EXPECT_EQ(place.plotTopLeft, c.expectedPlot);
        const QRect main(place.mainTopLeft, mainFrame);
        const QRect plot(place.plotTopLeft, plotFrame);
        if (c.available.contains(QRect(c.mainAt, mainFrame))) {  // where the user left it is theirs
            EXPECT_TRUE(c.available.contains(main));
        }
        EXPECT_TRUE(c.available.contains(plot));
        if (c.available.width() >= mainFrame.width() + plotFrame.width()) {
            EXPECT_FALSE(main.intersects(plot));
        }
    }
}

}  // namespace
}  // namespace ktx
