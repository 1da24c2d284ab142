// The window on the real clock while a device action waits: it keeps
// painting, and nothing else reaches the device until the action has ended.
// These run in real time (a 2 s reply, and a silent tracker's 9 s search).
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
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "link/RealTimeSource.h"
#include "app/ui/ActionGuard.h"
#include "app/ui/ShutdownSignals.h"
#include "app/ui/TKorvantixtest.h"
#include "sim/SimDriver.h"
#include "support/ScriptedDriver.h"

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
        ASSERT_NE(window->actionGuard(), nullptr);
    }
    template <class T>
    T* child(const char* name)
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString settingsText()
    {
        QFile file(dir.filePath("Korvantix_control.ini"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Shows the window and lets the loop deliver the identification posted
    // at construction; returns how long that took.
    qint64 showAndIdentify()
    {
        QElapsedTimer took;
        took.start();
        window->show();
        QApplication::processEvents();
        return took.elapsed();
    }

    QTemporaryDir dir;
    RealTimeSource time;
    std::unique_ptr<TKorvantixtest> window;
};

TEST_F(WaitingWindowTest, AWaitKeepsPaintingAndHoldsTicksDeviceChangesAndInputForLater)
{
    SlowVersionDriver driver(time, 2000);
    makeWindow(driver);
    auto* memo = child<QPlainTextEdit>("DebugMemo");
    auto* pin = child<QLineEdit>("PIN");
    EventProbe paints(memo->viewport(), QEvent::Paint,
                      [&] { return driver.linkOpen() && memo->toPlainText().contains(kSerialLine); });
    child<QTimer>("Timer1")->start();

    struct {
        bool ran = false;
        bool linkOpen = false;
        bool waitCursor = false;
        bool workBox = true;
        QString pin;
        int searches = 0;
    } seen;
    QTimer::singleShot(500, [&] {
        seen.waitCursor = waitCursorShown();
        // Given while the tracker has not answered yet.
        QTest::mouseClick(child<QPushButton>("Program"), Qt::LeftButton);
        QTest::keyClicks(pin, "12");
        window->postDeviceChange();
        window->postDeviceChange();
    });
    QTimer::singleShot(1200, [&] {
        seen.ran = true;
        seen.linkOpen = driver.linkOpen();
        seen.workBox = child<QCheckBox>("WorkBox")->isChecked();
        seen.pin = pin->text();
        seen.searches = driver.searches();
    });

    EXPECT_GE(showAndIdentify(), 2000);
    ASSERT_TRUE(seen.ran) << "the event loop did not run during the wait";
    EXPECT_TRUE(seen.linkOpen);
    EXPECT_GT(paints.hits, 0) << "the console line was not painted during the wait";
    EXPECT_TRUE(seen.waitCursor);
    EXPECT_FALSE(waitCursorShown());
    // Nothing of what came during the wait ran inside it.
    EXPECT_FALSE(seen.workBox);
    EXPECT_EQ(seen.pin, "");
    EXPECT_EQ(seen.searches, 1);
    EXPECT_GT(window->actionGuard()->skippedTicks(), 0);
    EXPECT_EQ(driver.statusPolls(), 0);

    // Afterwards: at most the one tick now due, no backlog; the click and
    // the keys in order; the two device changes as one search.
    QApplication::processEvents();
    EXPECT_LE(driver.statusPolls(), 1);
    QTest::qWait(50);
    EXPECT_TRUE(child<QCheckBox>("WorkBox")->isChecked());
    EXPECT_EQ(pin->text(), "12");
    EXPECT_EQ(driver.searches(), 2);
    EXPECT_EQ(driver.nestedOpens(), 0);
    child<QCheckBox>("WorkBox")->setChecked(false);
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
        ::raise(SIGTERM);
    });
    QTimer::singleShot(1000, [&] {
        ran = true;
        visibleInWait = window->isVisible();
        settingsInWait = settingsText();
    });

    showAndIdentify();
    ASSERT_TRUE(ran);
    EXPECT_TRUE(visibleInWait);
    EXPECT_FALSE(settingsInWait.contains("sms=STATUS"));
    EXPECT_TRUE(window->isVisible());  // the action has only just ended

    QTest::qWait(50);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(settingsText().contains("sms=STATUS"));
    EXPECT_EQ(child<QLabel>("VerLabel")->text(), "SUMI-5.7ab");  // the action was not cut off
}

// The simulated tracker that never answers its version query: 15 attempts,
// each a 100 ms read, 400 ms and a 100 ms beep.
TEST_F(WaitingWindowTest, SilentTrackerSearchPaintsTheConsoleAndStartsNoPoll)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.faults.silent = 1;
    sim::SimDriver simulator(time, scenario);
    makeWindow(simulator);
    auto* memo = child<QPlainTextEdit>("DebugMemo");
    auto* timer1 = child<QTimer>("Timer1");
    EventProbe paints(memo->viewport(), QEvent::Paint,
                      [&] { return simulator.isOpen() && memo->toPlainText().contains(kSerialLine); });
    EventProbe ticks(timer1, QEvent::Timer, [&] { return simulator.isOpen(); });
    timer1->start();

    bool shotInWait = false;
    const QString shot = QDir(screenshotDir()).filePath("wait-identification.png");
    QTimer::singleShot(1500, [&] {
        shotInWait = simulator.isOpen() && window->grab().save(shot);
    });

    EXPECT_GE(showAndIdentify(), 7000);
    EXPECT_GT(paints.hits, 0) << "the debug console was not painted while the search waited";
    EXPECT_TRUE(shotInWait) << shot.toStdString();
    EXPECT_EQ(ticks.hits, 0) << "a Timer1 tick ran inside the search";
    EXPECT_GT(window->actionGuard()->skippedTicks(), 30);
    EXPECT_FALSE(simulator.isOpen());

    // The timer itself went on: its next tick comes after the search.
    QTest::qWait(300);
    EXPECT_GT(ticks.total, 0);
    EXPECT_EQ(ticks.hits, 0);
    timer1->stop();
}

}  // namespace
}  // namespace ktx
