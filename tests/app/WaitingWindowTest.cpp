// The window on the real clock while a device action waits on the device
// worker: it keeps painting and answering at once, and nothing else reaches
// the device until the action has ended. These run in real time (a 2 s
// reply, and a silent tracker's 9 s search).
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "link/RealTimeSource.h"
#include "base/LogSink.h"
#include "widgets/DeviceActions.h"
#include "app/ui/ShutdownSignals.h"
#include "app/ui/TKorvantixtest.h"
#include "can/ui/CanTab.h"
#include "gnss/ui/GnssTab.h"
#include "gsm/ui/GsmTab.h"
#include "onewire/ui/OneWireTab.h"
#include "sim/SimDriver.h"
#include "support/ScriptedDriver.h"
#include "support/WindowTabs.h"

namespace ktx {
namespace {

const QString kSerialLine = QStringLiteral("Серийный номер 1234567");

// A tracker that takes delayMs of real time to answer its first version
// query, and otherwise answers at once.
class SlowVersionDriver : public test::ScriptedDriver {
public:
    SlowVersionDriver(TimeSource& realTime, uint32_t delayMs) : realTime_(realTime), delayMs_(delayMs)
    {
        setDevices({{"Korvantix", "1234567"}});
        onCommand("FL_READ_VERSION$", {"SUMI-5.7ab"});
    }

    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        const auto sent = writes();
        if (!delayed_ && !sent.empty() && sent.back() == "FL_READ_VERSION$") {
            delayed_ = true;
            realTime_.sleepMs(delayMs_);
        }
        return ScriptedDriver::FT_Read(handle, buffer, count, received);
    }

    bool linkOpen() const
    {
        int open = 0;
        for (const auto& call : calls())
            open += call.name == "FT_Open" ? 1 : call.name == "FT_Close" ? -1 : 0;
        return open > 0;
    }
    // Opens made while the channel was already open: a second action inside
    // the first.
    int nestedOpens() const
    {
        int open = 0;
        int nested = 0;
        for (const auto& call : calls()) {
            if (call.name == "FT_Open")
                nested += open++ > 0 ? 1 : 0;
            else if (call.name == "FT_Close")
                open = 0;
        }
        return nested;
    }
    int searches() const
    {
        int count = 0;
        for (const auto& call : calls())
            count += call.name == "FT_ListDevices" && call.args == std::vector<int64_t>{-1} ? 1 : 0;
        return count;
    }
    int statusPolls() const
    {
        int count = 0;
        for (const std::string& bytes : writes())
            count += bytes.rfind("DEVICE_TEST", 0) == 0 ? 1 : 0;
        return count;
    }

private:
    TimeSource& realTime_;
    uint32_t delayMs_;
    bool delayed_ = false;
};

// Counts the events of one type that reach target, and those of them that
// arrive while `during` holds.
class EventProbe : public QObject {
public:
    EventProbe(QObject* target, QEvent::Type type, std::function<bool()> during)
        : type_(type), during_(std::move(during))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_) {
            ++total;
            hits += during_() ? 1 : 0;
        }
        return false;
    }
    int total = 0;
    int hits = 0;

private:
    QEvent::Type type_;
    std::function<bool()> during_;
};

QString screenshotDir()
{
    const QString dir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    QDir().mkpath(dir);
    return dir;
}

bool waitCursorShown()
{
    return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// Index of the nth (from 1) write equal to, or starting with, text; -1: none.
int nthWrite(const std::vector<std::string>& writes, const std::string& text, int nth)
{
    for (size_t i = 0; i < writes.size(); ++i)
        if (writes[i].rfind(text, 0) == 0 && --nth == 0)
            return static_cast<int>(i);
    return -1;
}

class WaitingWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Identification then does nothing more than the search and the
        // version query.
        QFile settings(dir.filePath("Korvantix_control.ini"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[CONFIG]\r\nAutoStart=0\r\n[GSM]\r\nReadGSMAuto=0\r\n");
    }

    void makeWindow(FtDriver& driver)
    {
        window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
        ASSERT_EQ(window->deviceActions().mode(), DeviceActions::Mode::Worker);
    }
    // Tabs are built when first shown; the tests reach into all of them.
    template <class T>
    T* child(const char* name)
    {
        window->buildAllTabs();
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString settingsText()
    {
        QFile file(dir.filePath("Korvantix_control.ini"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Shows the window and lets the loop queue the identification posted at
    // construction; returns how long that took.
    qint64 showAndIdentify()
    {
        QElapsedTimer took;
        took.start();
        window->show();
        QApplication::processEvents();
        return took.elapsed();
    }
    // Runs the event loop until no device action is left; false on timeout.
    bool waitForIdle(int timeoutMs)
    {
        return QTest::qWaitFor([this] { return !window->deviceActions().busy(); }, timeoutMs);
    }

    QTemporaryDir dir;
    RealTimeSource time;
    std::unique_ptr<TKorvantixtest> window;
};

TEST_F(WaitingWindowTest, AWaitKeepsTheWindowAnsweringAndQueuesDeviceWorkBehindIt)
{
    SlowVersionDriver driver(time, 2000);
    makeWindow(driver);
    auto* memo = child<QPlainTextEdit>("DebugMemo");
    auto* pin = child<QLineEdit>("PIN");
    auto* timer1 = child<QTimer>("Timer1");
    DeviceActions& actions = window->deviceActions();
    EventProbe paints(memo->viewport(), QEvent::Paint,
                      [&] { return actions.running() && memo->toPlainText().contains(kSerialLine); });
    timer1->start();

    struct {
        bool ran = false;
        bool running = false;
        bool waitCursor = false;
        bool workBox = false;
        QString pin;
        bool pollQueued = false;
    } seen;
    QTimer::singleShot(500, [&] {
        // Given while the tracker has not answered yet.
        QTest::mouseClick(child<QPushButton>("Program"), Qt::LeftButton);
        QTest::keyClicks(pin, "12");
        window->postDeviceChange();
        window->postDeviceChange();
    });
    QTimer::singleShot(1200, [&] {
        seen.ran = true;
        seen.running = actions.running();
        seen.waitCursor = waitCursorShown();
        seen.workBox = child<QCheckBox>("WorkBox")->isChecked();
        seen.pin = pin->text();
        seen.pollQueued = actions.isQueued(timer1);
    });

    EXPECT_LT(showAndIdentify(), 1000) << "the window waited for the device";
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.ran; }, 3000));
    EXPECT_TRUE(seen.running);
    EXPECT_FALSE(seen.waitCursor);
    // The click and the keys took effect at once; the ticks merged into one
    // poll waiting its turn.
    EXPECT_TRUE(seen.workBox);
    EXPECT_EQ(seen.pin, "12");
    EXPECT_TRUE(seen.pollQueued);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.isQueuedOrRunning(timer1) && !actions.running(); }, 5000));
    timer1->stop();
    child<QCheckBox>("WorkBox")->setChecked(false);
    ASSERT_TRUE(waitForIdle(2000));
    EXPECT_GT(paints.hits, 0) << "the console line was not painted during the wait";
    EXPECT_EQ(child<QLabel>("VerLabel")->text(), "SUMI-5.7ab");
    // The two device changes as one search, after the running one and
    // before the poll that had waited; never two actions on the link.
    EXPECT_EQ(driver.searches(), 2);
    EXPECT_EQ(driver.nestedOpens(), 0);
    const auto writes = driver.writes();
    const int secondVersionQuery = nthWrite(writes, "FL_READ_VERSION$", 2);
    const int firstPoll = nthWrite(writes, "DEVICE_TEST", 1);
    ASSERT_GE(secondVersionQuery, 0);
    ASSERT_GE(firstPoll, 0);
    EXPECT_LT(secondVersionQuery, firstPoll);
}

TEST_F(WaitingWindowTest, TermDuringTheWaitClosesAfterTheActionWithTheSettingsWritten)
{
    SlowVersionDriver driver(time, 2000);
    makeWindow(driver);
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, window.get(), [this] { window->close(); });
    ASSERT_TRUE(shutdown.install());

    bool ran = false;
    bool visibleInWait = false;
    QString settingsInWait;
    QTimer::singleShot(300, [this] {
        child<QLineEdit>("sms")->setText("STATUS");  // after the settings were read at show
        child<QPushButton>("Button2")->click();      // queued behind the identification: dropped
        ::raise(SIGTERM);
    });
    QTimer::singleShot(1000, [&] {
        ran = true;
        visibleInWait = window->isVisible();
        settingsInWait = settingsText();
    });

    showAndIdentify();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 3000));
    EXPECT_TRUE(visibleInWait);
    EXPECT_FALSE(settingsInWait.contains("sms=STATUS"));

    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 4000));
    EXPECT_TRUE(settingsText().contains("sms=STATUS"));
    EXPECT_EQ(child<QLabel>("VerLabel")->text(), "SUMI-5.7ab");  // the action was not cut off
    EXPECT_EQ(nthWrite(driver.writes(), "AT", 1), -1) << "a queued modem step ran after the close";
    EXPECT_TRUE(child<QPushButton>("Button2")->isEnabled());
}

// Identification on the worker hands the firmware to every tab through the
// GUI thread: to a tab built while it ran (before the version was known) and
// to one first opened afterwards; the modem console, its tab never opened,
// keeps what the worker wrote to it.
TEST_F(WaitingWindowTest, TabsBuiltDuringAndAfterAQueuedIdentificationFollowTheFirmware)
{
    // 5.5: the 1WIRE group and the CAN tab are there, the antenna panel is not.
    SlowVersionDriver driver(time, 800);
    driver.onCommand("FL_READ_VERSION$", {"QOZT-5.5.."});
    makeWindow(driver);
    DeviceActions& actions = window->deviceActions();
    EXPECT_LT(showAndIdentify(), 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return actions.running(); }, 1000));
    ASSERT_FALSE(window->isTabBuilt(test::kGnssPage));

    GnssTab* gnss = test::gnssTab(*window);  // built while the tracker has not answered yet
    ASSERT_TRUE(actions.running());
    EXPECT_FALSE(gnss->findChild<QWidget*>("Panel20")->isHidden());
    // A modem line from another thread, before the GSM tab exists.
    std::thread([this] { LogModem(window->consoles(), "from the worker"); }).join();
    ASSERT_TRUE(waitForIdle(5000));
    EXPECT_TRUE(gnss->findChild<QWidget*>("Panel20")->isHidden());

    for (int tab : {test::kOneWirePage, test::kCanPage, test::kGsmPage})
        ASSERT_FALSE(window->isTabBuilt(tab)) << tab;
    EXPECT_TRUE(test::oneWireTab(*window)->findChild<QWidget*>("GroupBox15")->isEnabled());
    CanTab* can = test::canTab(*window);
    EXPECT_FALSE(can->findChild<QWidget*>("CANGrid")->isHidden());
    // The version is the worker's: the snapshot takes it inside its action.
    can->Button21Click();
    ASSERT_TRUE(waitForIdle(5000));
    QFile snapshot(dir.filePath("CAN/CAN-1234567.txt"));
    ASSERT_TRUE(snapshot.open(QIODevice::ReadOnly));
    const QByteArray heading = snapshot.readLine();
    EXPECT_TRUE(heading.startsWith("CAN 1234567 (QOZT-5.5..) - ")) << heading.toStdString();
    EXPECT_TRUE(window->findChild<QTabWidget*>("PageControl1")->isTabEnabled(test::kCanPage));
    EXPECT_TRUE(test::gsmTab(*window)->findChild<QPlainTextEdit*>("GSMMemo")->toPlainText().contains("from the worker"));
}

// The simulated tracker that never answers its version query: 15 attempts,
// each a 100 ms read, 400 ms and a 100 ms beep.
TEST_F(WaitingWindowTest, SilentTrackerSearchPaintsTheConsoleAndMergesTheTicks)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.faults.silent = 1;
    sim::SimDriver simulator(time, scenario);
    makeWindow(simulator);
    auto* memo = child<QPlainTextEdit>("DebugMemo");
    auto* timer1 = child<QTimer>("Timer1");
    DeviceActions& actions = window->deviceActions();
    EventProbe paints(memo->viewport(), QEvent::Paint,
                      [&] { return actions.running() && memo->toPlainText().contains(kSerialLine); });
    int ticksInSearch = 0;
    QObject::connect(timer1, &QTimer::timeout, [&] {
        ticksInSearch += actions.running() ? 1 : 0;
    });
    timer1->start();

    bool shotInWait = false;
    bool onePollQueued = false;
    qint64 shotLateMs = -1;
    QElapsedTimer clock;
    clock.start();
    const QString shot = QDir(screenshotDir()).filePath("wait-identification.png");
    QTimer::singleShot(1500, [&] {
        shotLateMs = clock.elapsed() - 1500;
        shotInWait = actions.running() && window->grab().save(shot);
        onePollQueued = actions.isQueued(timer1);
    });

    EXPECT_LT(showAndIdentify(), 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return actions.running(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.elapsed() > 7000 || !actions.running(); }, 12000));
    EXPECT_GE(clock.elapsed(), 7000) << "the search ended early";
    EXPECT_TRUE(shotInWait) << shot.toStdString();
    EXPECT_LT(shotLateMs, 200) << "a timer of the window was held up by the search";
    EXPECT_GT(paints.hits, 0) << "the debug console was not painted while the search waited";
    EXPECT_GT(ticksInSearch, 20) << "Timer1 did not tick during the search";
    EXPECT_TRUE(onePollQueued);  // the twenty ticks as one poll (a key is queued once)
    timer1->stop();
    ASSERT_TRUE(waitForIdle(10000));
}

}  // namespace
}  // namespace ktx
