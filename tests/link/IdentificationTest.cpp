#include <gtest/gtest.h>

#include "link/Identification.h"
#include "base/TextCodec.h"
#include "support/ScriptedDriver.h"

namespace ktx {
namespace {

using test::ListedDevice;
using test::ScriptedDriver;

struct RecordingSink : LogSink {
    std::vector<std::string> debug;
    int debugLevel() const override { return 2; }
    void debugLine(std::string_view text) override { debug.push_back(utf8FromCp1251(text)); }
    void modemLine(std::string_view) override {}
    void rs485Line(std::string_view) override {}
    void telitLine(std::string_view) override {}
    void streamLine(std::string_view, std::string_view, std::string_view) override {}
};

struct RecordingView : IdentificationView {
    std::string serial = "10000";
    std::string version = "PENK-0.0g";
    bool green = false;
    int firmwareCalls = 0;
    int firmwareVersion = 0;  // the version the last call carried
    bool readGsmAuto = false;
    bool autoCheck = false;
    int gsmReads = 0;
    int programClicks = 0;

    void showSerialText(const std::string& text) override { serial = text; }
    void showVersionText(const std::string& text) override { version = text; }
    void setVersionColourGreen(bool on) override { green = on; }
    void applyFirmware(const DeviceInfo& device) override
    {
        ++firmwareCalls;
        firmwareVersion = device.version;
    }
    bool readGsmAutoChecked() const override { return readGsmAuto; }
    bool autoCheckChecked() const override { return autoCheck; }
    void readGsmParams() override { ++gsmReads; }
    void startStatusTest() override { ++programClicks; }
};

struct IdentificationFixture : ::testing::Test {
    VirtualTimeSource time;
    ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    RecordingSink sink;
    DeviceInfo device;
    AppContext context{link, time, sink, device};
    RecordingView view;

    void tracker(const std::string& serial, const std::string& versionReply)
    {
        driver.setDevices({{"Korvantix", serial}});
        driver.onCommand("FL_READ_VERSION$", {versionReply});
    }
};

TEST_F(IdentificationFixture, VersionRepliesSetNumberColourAndGroups)
{
    struct Case {
        const char* reply;
        int version;
        bool green;
    };
    const Case cases[] = {
        {"SUMI-5.7xy", 57, false},
        {"DRAL-5.12 ", 512, true},
        {"PENK-5.1zz", 51, false},
        {"QOZT-5.5..", 55, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        RecordingView fresh;
        view = fresh;
        tracker("1234567", c.reply);
        identifyDevices(context, view);
        EXPECT_EQ(device.version, c.version);
        EXPECT_EQ(view.green, c.green);
        EXPECT_EQ(view.version, c.reply);
        // The window passes the version on to its tabs, once per reply understood.
        EXPECT_EQ(view.firmwareCalls, 1);
        EXPECT_EQ(view.firmwareVersion, c.version);
        EXPECT_EQ(device.versionText, c.reply);
        EXPECT_EQ(sink.debug.back(), std::string("Версия прошивки ") + c.reply + " (" + std::to_string(c.version) + ")");
    }
}

TEST_F(IdentificationFixture, OutOfRangeSerialIsShownButNotQueried)
{
    for (const char* serial : {"0", "12345678", "-5", "abc"}) {
        SCOPED_TRACE(serial);
        driver.clearCalls();
        view.autoCheck = true;
        tracker(serial, "SUMI-5.7xy");
        identifyDevices(context, view);
        EXPECT_EQ(view.serial, serial);
        EXPECT_EQ(driver.countCalls("FT_Open"), 0);
        EXPECT_EQ(view.programClicks, 0);
        EXPECT_EQ(sink.debug.back().rfind("Неизвестный номер ", 0), 0u);
    }
    EXPECT_EQ(sink.debug.back(), "Неизвестный номер 0");
}

TEST_F(IdentificationFixture, DescriptionMustMatchExactly)
{
    driver.setDevices({{"korvantix", "1234567"}, {"Korvantix2", "1234567"}, {"KALDERNIT ", "1"}});
    identifyDevices(context, view);
    EXPECT_EQ(view.serial, "10000");
    EXPECT_TRUE(sink.debug.empty());
    EXPECT_EQ(driver.countCalls("FT_ListSerial"), 0);
}

TEST_F(IdentificationFixture, ShortRepliesGiveFifteenAttemptsAndKeepTheVersion)
{
    device.version = 57;
    tracker("1234567", "SUMI-5.7x");  // nine bytes each time
    view.readGsmAuto = true;
    identifyDevices(context, view);
    EXPECT_EQ(driver.countCalls("FT_Write"), 15);
    EXPECT_EQ(time.beeps().size(), 15u);
    EXPECT_EQ(time.beeps()[0].frequencyHz, 100u);
    EXPECT_EQ(time.sleptMs() / 15, 400u + 100u);  // 400 ms sleep and the 100 ms read timeout
    EXPECT_EQ(view.version, "SUMI-5.7x");
    EXPECT_EQ(device.version, 57);
    EXPECT_EQ(view.firmwareCalls, 0);
    EXPECT_EQ(view.gsmReads, 1);
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
}

TEST_F(IdentificationFixture, UnknownEditionStopsAtOnce)
{
    tracker("1234567", "XXXX-5.7ab");
    identifyDevices(context, view);
    EXPECT_EQ(driver.countCalls("FT_Write"), 1);
    EXPECT_EQ(view.version, "XXXX-5.7ab");
    EXPECT_EQ(device.version, 0);
}

TEST_F(IdentificationFixture, FailedOpenBeepsAndStillRunsFollowUps)
{
    tracker("1234567", "SUMI-5.7xy");
    driver.failCall("FT_Open", FT_DEVICE_NOT_OPENED);
    view.readGsmAuto = true;
    view.autoCheck = true;
    identifyDevices(context, view);
    ASSERT_EQ(time.beeps().size(), 1u);
    EXPECT_EQ(time.beeps()[0].frequencyHz, 50u);
    EXPECT_EQ(time.beeps()[0].durationMs, 50u);
    EXPECT_EQ(view.gsmReads, 1);
    EXPECT_EQ(view.programClicks, 1);
    EXPECT_EQ(view.version, "PENK-0.0g");
}

TEST_F(IdentificationFixture, QueriesTheTrackerNotTheFirstAdapter)
{
    driver.setDevices({{"FT232R USB UART", "A10K3XYZ"}, {"Korvantix", "7654321"}});
    driver.onCommand("FL_READ_VERSION$", {"SUMI-5.7xy"});
    identifyDevices(context, view);
    EXPECT_EQ(driver.calls()[driver.callNames().size() - 1].name, "FT_Close");
    int openIndex = -1;
    for (const auto& call : driver.calls())
        if (call.name == "FT_Open")
            openIndex = static_cast<int>(call.args[0]);
    EXPECT_EQ(openIndex, 1);
    EXPECT_EQ(link.deviceIndex(), 1);
    EXPECT_EQ(device.index, 1);

    // Unplugged: the next search finds no tracker and actions go to device 0 again.
    driver.setDevices({{"FT232R USB UART", "A10K3XYZ"}});
    identifyDevices(context, view);
    EXPECT_EQ(link.deviceIndex(), 0);
    EXPECT_EQ(view.serial, "7654321");  // the screen keeps what it showed
}

}  // namespace
}  // namespace ktx
