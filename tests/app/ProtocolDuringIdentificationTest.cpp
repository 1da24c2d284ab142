// "Протокол" clicked on the real clock while the identification of a newly
// plugged tracker is still running on the device worker: the click must not
// read the tracker the worker is busy finding.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "link/RealTimeSource.h"
#include "support/ScriptedDriver.h"

namespace ktx {
namespace {

// Tracker 1234567, then 7654321 whose serial string takes stallMs of real
// time to read; opens after that identification fail, so whatever follows it
// ends at once instead of running a check on the real clock.
class SwappedTrackerDriver : public test::ScriptedDriver {
public:
    SwappedTrackerDriver(TimeSource& realTime, uint32_t stallMs) : realTime_(realTime), stallMs_(stallMs)
    {
        setDevices({{"Korvantix", "1234567"}});
        onCommand("FL_READ_VERSION$", {"SUMI-5.7ab"});
    }
    // GUI thread, while the worker is idle.
    void swap()
    {
        setDevices({{"Korvantix", "7654321"}});
        swapped_ = true;
    }
    std::atomic<bool> stalled{false};

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override
    {
        if (opensLeft_ == 0)
            return FT_DEVICE_NOT_OPENED;
        if (opensLeft_ > 0)
            --opensLeft_;
        return ScriptedDriver::FT_Open(deviceNumber, handle);
    }

protected:
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override
    {
        if (swapped_ && which == FT_OPEN_BY_SERIAL_NUMBER && !stalled) {
            stalled = true;
            realTime_.sleepMs(stallMs_);
            opensLeft_ = 1;  // the identification's own version query
        }
        return ScriptedDriver::deviceString(index, which, text);
    }

private:
    TimeSource& realTime_;
    uint32_t stallMs_;
    bool swapped_ = false;
    int opensLeft_ = -1;  // -1: no limit
};

// The window on the real clock, tracker 1234567 identified.
struct RealClockWindow {
    explicit RealClockWindow(uint32_t stallMs) : driver(time, stallMs)
    {
        qputenv("KTX_NO_BROWSER", "1");
        QFile settings(dir.filePath("Korvantix_control.ini"));
        settings.open(QIODevice::WriteOnly);
        settings.write("[CONFIG]\r\nAutoStart=0\r\n[GSM]\r\nReadGSMAuto=0\r\n");
        settings.close();
        window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
        window->show();
        QApplication::processEvents();  // the identification posted at construction
        window->buildAllTabs();
        auto* serial = window->findChild<QWidget*>("SerPanel");
        identified = serial && QTest::qWaitFor([&] {
            return serial->property("text").toString() == "1234567" && !window->deviceActions().busy();
        }, 20000);
    }
    ~RealClockWindow()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
    }
    QTemporaryDir dir;
    RealTimeSource time;
    SwappedTrackerDriver driver;
    std::unique_ptr<TKorvantixtest> window;
    bool identified = false;
};

TEST(ProtocolDuringIdentification, TheClickWaitsForTheTrackerBeingIdentified)
{
    RealClockWindow w(3000);
    ASSERT_TRUE(w.identified);
    SwappedTrackerDriver& driver = w.driver;
    auto& window = w.window;

    // Tracker A goes, B comes; its identification is stuck reading B's serial.
    driver.swap();
    window->postDeviceChange();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.stalled.load(); }, 20000));

    QStringList warnings;
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [&warnings] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warnings << box->text();
            box->reject();
        }
    });
    dismiss.start(20);
    auto* protocol = window->findChild<QPushButton*>("ProtocolButton");
    ASSERT_NE(protocol, nullptr);
    protocol->click();

    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->deviceActions().busy(); }, 60000));
    QApplication::processEvents();
    dismiss.stop();
    EXPECT_TRUE(warnings.filter(QStringLiteral("не опознан")).isEmpty())
        << "the click read a tracker half identified: " << warnings.join(" | ").toStdString();
}

// The same swap while another action holds the worker: the identification it
// brings runs before the check, and the record names the tracker checked.
TEST(ProtocolDuringIdentification, ARecordAfterASwapDuringALongActionNamesTheNewTracker)
{
    RealClockWindow w(0);
    ASSERT_TRUE(w.identified);
    std::atomic<bool> longRunning{false};
    DeviceActions::Action longAction;
    longAction.work = [&] {
        longRunning = true;
        w.time.sleepMs(1500);
    };
    w.window->deviceActions().enqueue(std::move(longAction));
    ASSERT_TRUE(QTest::qWaitFor([&] { return longRunning.load(); }, 20000));
    w.driver.swap();
    w.window->postDeviceChange();
    QApplication::processEvents();
    auto* protocol = w.window->findChild<QPushButton*>("ProtocolButton");
    ASSERT_NE(protocol, nullptr);
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            (void)box->text();
            box->reject();
        }
    });
    dismiss.start(20);
    protocol->click();

    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.window->deviceActions().busy(); }, 120000));
    QApplication::processEvents();
    const QDir protocols(w.dir.filePath("protocols"));
    EXPECT_TRUE(protocols.entryList({"1234567-*"}, QDir::Files).isEmpty())
        << "filed under the tracker unplugged: " << protocols.entryList(QDir::Files).join(' ').toStdString();
}

}  // namespace
}  // namespace ktx
