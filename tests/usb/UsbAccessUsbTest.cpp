// The adapter the system won't let the console open, and the kernel's serial
// driver given back after an action: on an emulated FT232R, with libusb and
// libftdi running for real.
//
// The tests run as root, and root opens a device node whatever its mode. So
// the node's file in the test bed is made mode 000 and, for the duration of
// the check, the test's thread loses its power to override file modes
// (NoRootOverride): libusb's open() then fails with EACCES as it does for a
// user without the udev rule.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "link/RealTimeSource.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "io/StatusPoll.h"
#include "link/LibFtdiDriver.h"
#include "base/TextCodec.h"
#include "link/UsbLink.h"
#include "sim/Scenario.h"
#include "support/NoRootOverride.h"
#include "support/RecordingSink.h"
#include "usb/EmulatedFt232r.h"
#include "usb/UsbTestbed.h"

namespace ktx::usbemu {
namespace {

namespace fs = std::filesystem;

class UsbAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!UsbTestbed::active())
            GTEST_SKIP() << "run under umockdev-wrapper (ctest does)";
        sim::Scenario scenario = sim::defaultScenario();
        scenario.description = device_.description;
        scenario.serial = device_.serial;
        chip_ = std::make_unique<EmulatedFt232r>(time_, scenario);
        ASSERT_TRUE(bed_.plug(device_, chip_->handler()));
    }

    // The node's file in the test bed (umockdev names the bed's root in
    // UMOCKDEV_DIR); the path is not one the preload library redirects.
    fs::path nodeInBed() const
    {
        const char* root = std::getenv("UMOCKDEV_DIR");
        return fs::path(root ? root : "") / device_.node().substr(1);
    }
    void makeNodeUnreadable() const
    {
        ASSERT_TRUE(fs::exists(nodeInBed())) << nodeInBed();
        fs::permissions(nodeInBed(), fs::perms::none);
    }

    RealTimeSource time_;
    UsbTestbed bed_;
    EmulatedDevice device_;
    std::unique_ptr<EmulatedFt232r> chip_;
    // Closed before the chip goes.
    std::unique_ptr<LibFtdiDriver> driver_ = std::make_unique<LibFtdiDriver>(time_);
};

TEST_F(UsbAccessTest, RefusedOpenIsAnAccessProblemWithTheLibrariesWords)
{
    makeNodeUnreadable();
    test::NoRootOverride asUser;
    uint32_t count = 0;
    ASSERT_EQ(driver_->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);  // the device is there

    char text[kFtListBufferSize] = {};
    EXPECT_EQ(driver_->FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_DEVICE_NOT_OPENED);
    EXPECT_TRUE(driver_->lastFailure().accessDenied);
    EXPECT_NE(driver_->lastFailure().detail.find("libusb_open"), std::string::npos) << driver_->lastFailure().detail;

    FT_HANDLE handle = nullptr;
    EXPECT_EQ(driver_->FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
    const FtFailure failure = driver_->lastFailure();
    EXPECT_TRUE(failure.accessDenied);
    EXPECT_NE(failure.detail.find("ftdi_usb_open_dev"), std::string::npos) << failure.detail;
    EXPECT_NE(failure.detail.find("Access denied"), std::string::npos) << failure.detail;
    EXPECT_EQ(chip_->state().claims, 0);
}

// A poll of a present device that can't be opened says why and what to do,
// never "not connected".
TEST_F(UsbAccessTest, PollSaysWhatToDoInsteadOfNotConnected)
{
    makeNodeUnreadable();
    test::NoRootOverride asUser;
    UsbLink link(*driver_, time_);
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time_, log, device};
    io::StatusPoll poll(context);
    EXPECT_FALSE(poll.poll(false, false).opened);
    ASSERT_EQ(log.debug.size(), 2u);
    const std::string said = utf8FromCp1251(log.debug[0]);
    EXPECT_EQ(said.rfind("Нет доступа к USB-адаптеру FTDI", 0), 0u) << said;
    EXPECT_NE(said.find("99-korvantix-ftdi.rules"), std::string::npos);
    EXPECT_NE(said.find("plugdev"), std::string::npos);
    EXPECT_NE(log.debug[1].find("Access denied"), std::string::npos) << log.debug[1];
}

TEST_F(UsbAccessTest, TheWindowShowsTheAccessProblemInPlaceOfTheVersion)
{
    makeNodeUnreadable();
    test::NoRootOverride asUser;
    QTemporaryDir dir;
    TKorvantixtest window(*driver_, time_, dir.path().toStdString());
    window.show();
    QApplication::processEvents();
    // Identification is a queued action on the device worker.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.deviceActions().busy(); }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(window.findChild<QLabel*>("VerLabel")->text(), QString::fromUtf8("Нет доступа"));
    const QString console = window.findChild<QPlainTextEdit*>("DebugMemo")->toPlainText();
    EXPECT_TRUE(console.contains(QString::fromUtf8("Нет доступа к USB-адаптеру FTDI"))) << console.toStdString();
    EXPECT_TRUE(console.contains(QLatin1String("LIBUSB_ERROR_ACCESS")) || console.contains(QLatin1String("Access denied")))
        << console.toStdString();
    EXPECT_FALSE(console.contains(QString::fromUtf8("не подключено"))) << console.toStdString();
    const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    EXPECT_TRUE(window.grab().save(QDir(outDir).filePath("usb-access-denied.png")));
}

// Without a tracker, an action opens device 0, whatever adapter it is: its
// kernel serial driver must be back when the action closes it.
TEST_F(UsbAccessTest, CloseGivesTheKernelDriverBack)
{
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(driver_->FT_Open(0, &handle), FT_OK);
    EXPECT_FALSE(chip_->state().kernelDriverBound);
    EXPECT_EQ(chip_->state().detaches, 1);
    ASSERT_EQ(driver_->FT_Close(handle), FT_OK);
    EXPECT_TRUE(chip_->state().kernelDriverBound);
    EXPECT_FALSE(chip_->state().claimed);
    // And again on the next action.
    ASSERT_EQ(driver_->FT_Open(0, &handle), FT_OK);
    EXPECT_FALSE(chip_->state().kernelDriverBound);
    ASSERT_EQ(driver_->FT_Close(handle), FT_OK);
    EXPECT_TRUE(chip_->state().kernelDriverBound);
}

}  // namespace
}  // namespace ktx::usbemu
