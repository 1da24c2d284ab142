// The whole console on the simulated tracker and the real clock, with every
// poll on at once and "Протокол" run in the middle: each poll gets its turns
// on the device worker, pauses for the check and goes on after it. The
// ThreadSanitizer stage of test.sh runs it for KTX_SOAK_SECONDS (30 there);
// a few seconds otherwise.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <fstream>
#include <map>
#include <string_view>

#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "link/RealTimeSource.h"
#include "sim/SimDriver.h"

namespace ktx {
namespace {

TEST(EveryPollTest, EveryPollHasItsTurnsAndWaitsForTheCheck)
{
    const int seconds = std::max(3, qEnvironmentVariableIntValue("KTX_SOAK_SECONDS"));
    const QString trace = QStringLiteral("every-poll-actions.txt");
    QFile::remove(trace);
    qputenv("KTX_DEBUG_ACTIONS", trace.toLatin1());
    qputenv("KTX_NO_BROWSER", "1");
    QTemporaryDir dir;
    {
        std::ofstream profile(dir.filePath("check-profile.json").toStdString());
        profile << R"({"name": "short", "steps": [{"type": "identification", "firmware": {"min": 57, "max": 999}},
                                           {"type": "supply", "supply": {"min": 9, "max": 32}}]})";
    }
    RealTimeSource time;
    sim::SimDriver simulator(time, sim::defaultScenario());
    auto window = std::make_unique<TKorvantixtest>(simulator, time, dir.path().toStdString());
    qunsetenv("KTX_DEBUG_ACTIONS");
    window->buildAllTabs();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->deviceActions().busy(); }, 20000));

    for (const char* box : {"WorkBox", "CheckBox1", "RashirEnable", "CheckBox2", "OneWire"})
        window->findChild<QCheckBox*>(box)->setChecked(true);
    // The accelerometer polls only while its tab is shown.
    auto* pages = window->findChild<QTabWidget*>("PageControl1");
    pages->setCurrentWidget(window->findChild<QWidget*>("TabSheet9"));
    window->findChild<QPushButton*>("ButtonStartAxel")->click();
    const char* const polls[] = {"Timer1", "Timer2", "Timer3", "Timer4", "Timer5", "Timer6", "TimerAccel"};
    for (const char* timer : polls)
        ASSERT_TRUE(window->findChild<QTimer*>(timer)->isActive()) << timer;

    QTest::qWait(seconds * 500);
    window->findChild<QPushButton*>("ProtocolButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->deviceActions().exclusiveActionPending(); }, 60000));
    QTest::qWait(seconds * 500);
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->accept();
    for (const char* timer : polls)
        EXPECT_TRUE(window->findChild<QTimer*>(timer)->isActive()) << timer << " stopped";
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 30000));
    window.reset();

    // Each poll ran before and after the check, and none during it.
    QFile lines(trace);
    ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
    std::map<QByteArray, int> before, after;
    int duringTheCheck = 0;
    bool checking = false, checked = false;
    while (!lines.atEnd()) {
        const QList<QByteArray> fields = lines.readLine().trimmed().split(' ');
        if (fields.size() != 3)
            continue;
        if (fields[2] == "ProtocolButton") {
            checking = fields[1] == "start";
            checked |= fields[1] == "end";
            continue;
        }
        if (fields[1] != "start")
            continue;
        if (checking && fields[2].startsWith("Timer"))
            ++duringTheCheck;
        (checked ? after : before)[fields[2]]++;
    }
    lines.close();
    QFile::remove(trace);
    EXPECT_TRUE(checked);
    EXPECT_EQ(duringTheCheck, 0);
    for (const char* timer : polls) {
        if (std::string_view(timer) == "Timer6" && seconds < 25)
            continue;  // the frequencies' tick comes every 10 s
        EXPECT_GT(before[timer], 0) << timer;
        EXPECT_GT(after[timer], 0) << timer << " did not go on after the check";
    }
}

}  // namespace
}  // namespace ktx
