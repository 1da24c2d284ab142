// The libftdi backend on an emulated FT232R: libusb, libftdi and the backend
// run for real; only the kernel's usbdevfs and the chip are emulated.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/RealTimeSource.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "telit/ui/TelitTab.h"
#include "link/LibFtdiDriver.h"
#include "sim/Scenario.h"
#include "telit/FirmwareBuilder.h"
#include "usb/EmulatedFt232r.h"
#include "usb/UsbTestbed.h"
#include "support/WindowTabs.h"

namespace ktx::usbemu {
namespace {

void* indexArg(uint32_t index)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

// What one FT_Read gave and how long it took.
struct ReadResult {
    FT_STATUS status;
    std::string bytes;
    int64_t elapsedMs;
};

class EmulatedChipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!UsbTestbed::active())
            GTEST_SKIP() << "run under umockdev-wrapper (ctest does)";
    }

    // Plugs a chip answering as the scenario says.
    EmulatedFt232r& plug(const EmulatedDevice& device = {}, sim::Scenario scenario = sim::defaultScenario())
    {
        scenario.description = device.description;
        scenario.serial = device.serial;
        chips_.push_back(std::make_unique<EmulatedFt232r>(time_, scenario));
        EXPECT_TRUE(bed_.plug(device, chips_.back()->handler()));
        return *chips_.back();
    }

    std::string listed(uint32_t index, uint32_t which)
    {
        char text[kFtListBufferSize] = {};
        const FT_STATUS status = driver_->FT_ListDevices(indexArg(index), text, FT_LIST_BY_INDEX | which);
        return status == FT_OK ? std::string(text) : "status " + std::to_string(status);
    }

    uint32_t count()
    {
        uint32_t devices = 0;
        EXPECT_EQ(driver_->FT_ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        return devices;
    }

    FT_HANDLE open(int index = 0)
    {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(driver_->FT_Open(index, &handle), FT_OK);
        return handle;
    }

    ReadResult read(FT_HANDLE handle, uint32_t count)
    {
        std::string buffer(count, '\0');
        uint32_t received = 0;
        const int64_t startUs = time_.monotonicUs();
        const FT_STATUS status = driver_->FT_Read(handle, buffer.data(), count, &received);
        buffer.resize(received);
        return {status, buffer, (time_.monotonicUs() - startUs) / 1000};
    }

    // Open with the console's settings: 115 200 baud, 8N1, no flow control.
    FT_HANDLE openConfigured(uint32_t readTimeoutMs, uint8_t latencyMs)
    {
        FT_HANDLE handle = open(0);
        EXPECT_EQ(driver_->FT_SetBaudRate(handle, 115200), FT_OK);
        EXPECT_EQ(driver_->FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
        EXPECT_EQ(driver_->FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
        EXPECT_EQ(driver_->FT_SetLatencyTimer(handle, latencyMs), FT_OK);
        EXPECT_EQ(driver_->FT_SetTimeouts(handle, readTimeoutMs, 100), FT_OK);
        return handle;
    }

    RealTimeSource time_;
    UsbTestbed bed_;
    std::vector<std::unique_ptr<EmulatedFt232r>> chips_;
    // Closed before the chips go.
    std::unique_ptr<LibFtdiDriver> driver_ = std::make_unique<LibFtdiDriver>(time_);
};

std::string pattern(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>('A' + i % 26);
    return bytes;
}

TEST_F(EmulatedChipTest, ListsChipsByIndexAndOpensTheOneAsked)
{
    EmulatedFt232r& first = plug();
    EmulatedDevice second;
    second.address = 3;
    second.port = 2;
    second.description = "Korvantix B";
    second.serial = "7654321";
    EmulatedFt232r& other = plug(second);

    ASSERT_EQ(count(), 2u);
    EXPECT_EQ(listed(0, FT_OPEN_BY_DESCRIPTION), "Korvantix");
    EXPECT_EQ(listed(0, FT_OPEN_BY_SERIAL_NUMBER), "1234567");
    EXPECT_EQ(listed(1, FT_OPEN_BY_DESCRIPTION), "Korvantix B");
    EXPECT_EQ(listed(1, FT_OPEN_BY_SERIAL_NUMBER), "7654321");
    EXPECT_NE(listed(2, FT_OPEN_BY_SERIAL_NUMBER).rfind("status", 0), std::string::npos);

    FT_HANDLE handle = open(1);
    EXPECT_TRUE(other.state().claimed);
    EXPECT_FALSE(other.state().kernelDriverBound);  // ftdi_sio let go
    EXPECT_FALSE(first.state().claimed);
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
    EXPECT_FALSE(other.state().claimed);
    EXPECT_EQ(driver_->FT_Close(handle), FT_INVALID_HANDLE);
}

TEST_F(EmulatedChipTest, StringsArriveAsWindows1251)
{
    struct Case {
        const char* utf8;
        const char* cp1251;
    };
    const Case cases[] = {
        {"12345\xD0\x96", "12345\xC6"},                        // Ж
        {"\xD0\x9A\xD0\xBE\xD1\x80\xD0\xB2", "\xCA\xEE\xF0\xE2"},  // Корв
        {"A\xE4\xB8\xAD" "B", "A?B"},                          // no Windows-1251 form
        {"\xE2\x84\x96 7", "\xB9 7"},                          // №
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp1251);
        EmulatedDevice device;
        device.description = c.utf8;
        device.serial = c.utf8;
        plug(device);
        ASSERT_EQ(count(), 1u);
        EXPECT_EQ(listed(0, FT_OPEN_BY_DESCRIPTION), c.cp1251);
        EXPECT_EQ(listed(0, FT_OPEN_BY_SERIAL_NUMBER), c.cp1251);
        chips_.back()->unplug();
        bed_.unplug(device);
    }
}

TEST_F(EmulatedChipTest, LineSettingsReachTheChip)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = open(0);
    struct Case {
        uint16_t divisor;
        uint16_t value;
        uint32_t baud;
    };
    // The update link runs at 1 000 000 baud: raw divisor 3 of the 3 MHz base.
    for (const Case& c : {Case{3, 3, 1000000}, Case{26, 26, 115384}, Case{0, 0, 3000000}}) {
        EXPECT_EQ(driver_->FT_SetDivisor(handle, c.divisor), FT_OK);
        EXPECT_EQ(chip.state().baudValue, c.value) << c.divisor;
        EXPECT_EQ(chip.state().baudIndex & 1, 0) << c.divisor;
        EXPECT_EQ(chip.state().baudRate, c.baud) << c.divisor;
    }
    EXPECT_EQ(driver_->FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(chip.state().lineProperty, 0x0008);
    EXPECT_EQ(driver_->FT_SetDataCharacteristics(handle, 7, 2, 2), FT_OK);  // 7E2
    EXPECT_EQ(chip.state().lineProperty, 0x1207);
    EXPECT_EQ(driver_->FT_SetFlowControl(handle, 0x0100, 0, 0), FT_OK);
    EXPECT_EQ(chip.state().flowControl, 0x0100);
    EXPECT_EQ(driver_->FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
    EXPECT_EQ(chip.state().flowControl, 0);
    for (const auto& [asked, set] : {std::pair<uint8_t, uint8_t>{2, 2}, {0, 1}, {255, 255}}) {
        EXPECT_EQ(driver_->FT_SetLatencyTimer(handle, asked), FT_OK);
        EXPECT_EQ(chip.state().latencyMs, set);
    }
    EXPECT_EQ(driver_->FT_ResetDevice(handle), FT_OK);
    EXPECT_GE(chip.state().chipResets, 2);  // open resets too
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, ReadReturnsAtTheCountOrAtTheTimeoutWithWhatArrived)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(200, 2);

    chip.sendToHost("0123456789ABCDEF");
    ReadResult r = read(handle, 10);
    EXPECT_EQ(r.status, FT_OK);
    EXPECT_EQ(r.bytes, "0123456789");
    EXPECT_LT(r.elapsedMs, 100);
    r = read(handle, 10);  // the rest was kept, then the timeout
    EXPECT_EQ(r.status, FT_OK);
    EXPECT_EQ(r.bytes, "ABCDEF");
    EXPECT_GE(r.elapsedMs, 195);
    EXPECT_LT(r.elapsedMs, 400);

    // Several packets, and bytes late inside one read: none is lost.
    const std::string block = pattern(300);
    chip.sendToHost(block.substr(0, 150));
    chip.sendToHost(block.substr(150), 40000, 87);
    r = read(handle, 300);
    EXPECT_EQ(r.status, FT_OK);
    EXPECT_EQ(r.bytes, block);

    // Silence: FT_OK with nothing, after the timeout.
    r = read(handle, 10);
    EXPECT_EQ(r.status, FT_OK);
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(r.elapsedMs, 195);
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, TheScenarioFirmwareAnswersBehindTheChip)
{
    struct Case {
        double silent, shortReplies, garbage;
        std::string reply;  // "*": ten bytes, none of them the version's
    };
    const Case cases[] = {
        {0, 0, 0, "SUMI-9.1zz"},
        {1, 0, 0, ""},
        {0, 1, 0, "SUMI-"},
        {0, 0, 1, "*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        sim::Scenario scenario = sim::defaultScenario();
        scenario.version = "SUMI-9.1zz";
        scenario.faults.silent = c.silent;
        scenario.faults.shortReplies = c.shortReplies;
        scenario.faults.garbage = c.garbage;
        EmulatedFt232r& chip = plug({}, scenario);
        FT_HANDLE handle = openConfigured(100, 1);
        const std::string command = "FL_READ_VERSION$";
        uint32_t written = 0;
        EXPECT_EQ(driver_->FT_Write(handle, command.data(), static_cast<uint32_t>(command.size()), &written), FT_OK);
        EXPECT_EQ(chip.bytesFromHost(), command);
        const std::string reply = read(handle, 10).bytes;
        if (c.reply == "*") {
            EXPECT_EQ(reply.size(), 10u);
            EXPECT_EQ(reply.find_first_of(";\n"), std::string::npos);
            EXPECT_NE(reply, "SUMI-9.1zz");
        } else {
            EXPECT_EQ(reply, c.reply);
        }
        EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
        chip.unplug();
        bed_.unplug({});
    }
}

TEST_F(EmulatedChipTest, PurgeDropsAStaleReply)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(50, 2);
    chip.sendToHost("STALE-REPLY");
    EXPECT_EQ(read(handle, 3).bytes, "STA");  // the rest waits in libftdi
    chip.sendToHost("MORE");                   // and this in the chip
    time_.sleepMs(10);
    EXPECT_EQ(driver_->FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(chip.state().rxPurges, 1);
    chip.sendToHost("FRESH");
    EXPECT_EQ(read(handle, 20).bytes, "FRESH");
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, WritesARawBlockWithZeroBytesWhole)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(50, 2);
    std::string block(595, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i % 7 == 0 ? 0 : i * 31);
    uint32_t written = 0;
    EXPECT_EQ(driver_->FT_Write(handle, block.data(), static_cast<uint32_t>(block.size()), &written), FT_OK);
    EXPECT_EQ(written, block.size());
    EXPECT_EQ(chip.bytesFromHost(), block);
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, UnplugDuringAReadEndsItWithAnError)
{
    EmulatedDevice device;
    EmulatedFt232r& chip = plug(device);
    FT_HANDLE handle = openConfigured(3000, 16);
    std::thread hand([&] {
        time_.sleepMs(100);
        chip.unplug();
        bed_.unplug(device);
    });
    const ReadResult r = read(handle, 10);
    hand.join();
    EXPECT_EQ(r.status, FT_IO_ERROR);
    EXPECT_LT(r.elapsedMs, 1500);
    uint32_t written = 0;
    EXPECT_EQ(driver_->FT_Write(handle, "X", 1, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 0u);
    driver_->FT_Close(handle);
    EXPECT_EQ(count(), 0u);
    FT_HANDLE again = nullptr;
    EXPECT_NE(driver_->FT_Open(0, &again), FT_OK);
}

TEST_F(EmulatedChipTest, TheConsoleShowsTheSerialAndVersionItIdentified)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.version = "SUMI-5.8cd";
    plug({}, scenario);
    QTemporaryDir dir;
    TKorvantixtest window(*driver_, time_, dir.path().toStdString());
    window.show();
    // Identification runs on the device worker; its results come back
    // through the event loop.
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.deviceActions().busy(); }, 10000));
    EXPECT_EQ(window.findChild<QLabel*>("SerPanel")->text(), "1234567");
    EXPECT_EQ(window.findChild<QLabel*>("VerLabel")->text(), "SUMI-5.8cd");
    const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    EXPECT_TRUE(window.grab().save(QDir(outDir).filePath("usb-emulated-identified.png")));
}

// The window's actions over the real USB path when the chip goes bad (it
// stops answering, answers garbage, or is pulled out mid-action): each ends
// in bounded time with every earlier console line kept, and on a well chip
// plugged in afterwards the same action works.
struct ChipFault {
    const char* name;
    double silent;
    double garbage;
    bool unplugMidAction;
};

class ChipGoneBadTest : public EmulatedChipTest {
protected:
    void meet(const ChipFault& fault);
};

void ChipGoneBadTest::meet(const ChipFault& fault)
{
    struct Action {
        const char* name;
        std::function<void(TKorvantixtest&, const QDir& dir)> run;
        // What a run that worked left: a log line, or the modem's answer.
        std::function<bool(const QString& said, const QDir& dir)> worked;
    };
    const Action actions[] = {
        {"status poll", [](TKorvantixtest& w, const QDir&) { w.findChild<QPushButton*>("ButtonWork")->click(); },
         [](const QString&, const QDir& dir) { return QFileInfo(dir.filePath("AIN/AINstream-1234567.txt")).size() > 0; }},
        {"AT command",
         [](TKorvantixtest& w, const QDir&) {
             w.findChild<QLineEdit*>("ATCommand")->setText("AT+CSQ");
             w.findChild<QPushButton*>("ATButton")->click();
         },
         [](const QString& said, const QDir&) { return said.contains(QStringLiteral("CSQ")); }},
        {"modem update",
         [](TKorvantixtest& w, const QDir& dir) {
             telit::test::FirmwareBuilder firmware("FW", "T", 100);
             firmware.record(telit::test::payloadOf(1500));
             firmware.writeTo(std::filesystem::path(dir.filePath(QStringLiteral("fw.bin")).toStdString()));
             test::telitTab(w)->findChild<QLineEdit*>("FirmwarePath")->setText(dir.filePath(QStringLiteral("fw.bin")));
             test::telitTab(w)->TelitInitClick();
         },
         [](const QString& said, const QDir&) {
             return said.contains(QStringLiteral("Достигнут конец файла, конец перепрошивки:"));
         }},
    };
    auto consoles = [](TKorvantixtest& w) {
        return w.findChild<QPlainTextEdit*>("DebugMemo")->toPlainText() + QLatin1Char('\x1e')
            + w.findChild<QPlainTextEdit*>("GSMMemo")->toPlainText() + QLatin1Char('\x1e')
            + w.findChild<QPlainTextEdit*>("TelitMemo")->toPlainText();
    };
    auto idle = [](TKorvantixtest& w) {
        QApplication::processEvents();
        return QTest::qWaitFor([&] { return !w.deviceActions().busy(); }, 30000);
    };
    // Runs the action on a fresh window: how long it took and what it said.
    auto runOn = [&](const Action& action, const std::function<void()>& during) {
        QTemporaryDir dir;
        TKorvantixtest window(*driver_, time_, dir.path().toStdString());
        window.show();
        window.buildAllTabs();
        EXPECT_TRUE(idle(window)) << "identification ends";
        const QString before = consoles(window);
        const int64_t startMs = time_.monotonicMs();
        std::thread hand(during);
        action.run(window, QDir(dir.path()));
        EXPECT_TRUE(idle(window)) << "the action ends";
        hand.join();
        const int64_t elapsedMs = time_.monotonicMs() - startMs;
        const QString after = consoles(window);
        QString said;
        for (int console = 0; console < 3; ++console) {
            const QString was = before.section(QLatin1Char('\x1e'), console, console);
            const QString is = after.section(QLatin1Char('\x1e'), console, console);
            EXPECT_TRUE(is.startsWith(was)) << "console " << console << " kept its earlier lines";
            said += is.mid(was.size());
        }
        return std::pair{elapsedMs, !said.contains(QStringLiteral("не подключено")) && action.worked(said, QDir(dir.path()))};
    };
    {
        for (const Action& action : actions) {
            SCOPED_TRACE(std::string(fault.name) + " / " + action.name);
            EmulatedDevice device;
            sim::Scenario scenario = sim::defaultScenario();
            scenario.faults.silent = fault.silent;
            scenario.faults.garbage = fault.garbage;
            EmulatedFt232r& bad = plug(device, scenario);
            const auto [faultyMs, faultyWorked] = runOn(action, [&] {
                if (!fault.unplugMidAction)
                    return;
                time_.sleepMs(5);
                bad.unplug();
                bed_.unplug(device);
            });
            EXPECT_LT(faultyMs, 20000);
            if (!fault.unplugMidAction) {
                bad.unplug();
                bed_.unplug(device);
            }

            EmulatedFt232r& well = plug(device);
            const auto [againMs, againWorked] = runOn(action, [] {});
            EXPECT_TRUE(againWorked);
            std::printf("%-22s %-12s %6lld ms  then %5lld ms on a well chip\n", fault.name, action.name,
                        static_cast<long long>(faultyMs), static_cast<long long>(againMs));
            well.unplug();
            bed_.unplug(device);
        }
    }
}

// One process per fault: a healthy modem update alone takes ten seconds.
TEST_F(ChipGoneBadTest, SilentChip)
{
    meet({"silent", 1, 0, false});
}

TEST_F(ChipGoneBadTest, GarblingChip)
{
    meet({"garbage", 0, 1, false});
}

TEST_F(ChipGoneBadTest, ChipPulledOutMidAction)
{
    meet({"unplugged mid-action", 0, 0, true});
}

// Faults of the backend that only show with some settings: each of these
// failed before the backend was fixed.

TEST_F(EmulatedChipTest, ReadLosesNoBytesWhenTheLatencyOutlastsTheReadTimeout)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(50, 100);
    chip.sendToHost(pattern(28));
    ReadResult first = read(handle, 10);
    EXPECT_EQ(first.status, FT_OK);
    EXPECT_EQ(first.bytes, pattern(10));
    ReadResult rest = read(handle, 50);
    EXPECT_EQ(rest.status, FT_OK);
    EXPECT_EQ(rest.bytes, pattern(28).substr(10));
    // A silent chip is no error.
    ReadResult silent = read(handle, 5);
    EXPECT_EQ(silent.status, FT_OK);
    EXPECT_EQ(silent.bytes, "");
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, ReadLosesNoBytesOfAStreamOfFullPackets)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(100, 16);
    // 115 200 baud: 62 bytes in 5.4 ms, faster than the latency timer, so
    // the chip sends only full packets while the stream lasts.
    const std::string stream = pattern(3000);
    chip.sendToHost(stream, 0, 87);
    std::string got;
    FT_STATUS status = FT_OK;
    for (int pass = 0; pass < 40 && got.size() < stream.size() && status == FT_OK; ++pass) {
        const ReadResult r = read(handle, 1000);
        status = r.status;
        got += r.bytes;
    }
    EXPECT_EQ(status, FT_OK);
    EXPECT_EQ(got.size(), stream.size());
    EXPECT_TRUE(got == stream.substr(0, got.size())) << "bytes lost or out of order";
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, ReadKeepsItsTimeoutWhileBytesTrickleIn)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(1, 1);
    chip.sendToHost(pattern(200), 0, 900);
    // The 200 bytes take 180 ms to come; a read that waits for them all has
    // lost its 1 ms timeout. One transfer past the deadline is allowed.
    const ReadResult r = read(handle, 200);
    EXPECT_EQ(r.status, FT_OK);
    EXPECT_LT(r.elapsedMs, 120);
    EXPECT_LT(r.bytes.size(), 120u);
    EXPECT_EQ(r.bytes, pattern(r.bytes.size()));
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, WriteCountsWhatTheChipTook)
{
    struct Case {
        size_t stallAfter;  // SIZE_MAX: the line never stops
        FT_STATUS status;
        uint32_t written;
    };
    // 5000 bytes at 115 200 baud take 430 ms, far over the 100 ms write
    // timeout: the chip's 128-byte FIFO drains at line speed.
    for (const Case& c : {Case{SIZE_MAX, FT_OK, 5000}, Case{4352, FT_IO_ERROR, 4352}}) {
        SCOPED_TRACE(c.written);
        EmulatedFt232r& chip = plug();
        FT_HANDLE handle = openConfigured(50, 2);
        chip.stallTransmitAfter(c.stallAfter);
        const std::string block = pattern(5000);
        uint32_t written = 0;
        EXPECT_EQ(driver_->FT_Write(handle, block.data(), 5000, &written), c.status);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(chip.bytesFromHost().size(), c.written);
        EXPECT_TRUE(chip.bytesFromHost() == block.substr(0, c.written));
        EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
        chip.unplug();
        bed_.unplug({});
    }
}

TEST_F(EmulatedChipTest, FailedPurgeStillDropsTheBufferedReplyAndSaysSo)
{
    EmulatedFt232r& chip = plug();
    FT_HANDLE handle = openConfigured(50, 2);
    chip.sendToHost("STALE-REPLY");
    EXPECT_EQ(read(handle, 3).bytes, "STA");
    chip.failNextRequest(0x00, 1);  // the transmit purge
    EXPECT_EQ(driver_->FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_IO_ERROR);
    EXPECT_EQ(read(handle, 20).bytes, "");
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, OpenByAStaleListTouchesNoOtherDevice)
{
    EmulatedDevice device;
    EmulatedFt232r& chip = plug(device);
    ASSERT_EQ(count(), 1u);
    chip.unplug();
    bed_.unplug(device);
    // Another device now has the address.
    EmulatedDevice foreign = device;
    foreign.vendor = 0x1234;
    foreign.product = 0x5678;
    EmulatedFt232r& stranger = plug(foreign);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(driver_->FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(stranger.state().claims, 0);
    EXPECT_EQ(stranger.state().detaches, 0);
    EXPECT_EQ(stranger.state().controlRequests, 0);
}

TEST_F(EmulatedChipTest, IndexPastAStaleListListsAnew)
{
    plug();
    ASSERT_EQ(count(), 1u);
    EmulatedDevice second;
    second.address = 3;
    second.port = 2;
    EmulatedFt232r& late = plug(second);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(driver_->FT_Open(1, &handle), FT_OK);
    EXPECT_TRUE(late.state().claimed);
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

TEST_F(EmulatedChipTest, ChipThatCannotBeConfiguredIsNotReportedGone)
{
    EmulatedDevice device;
    device.configuration = 0;
    EmulatedFt232r& chip = plug(device);
    chip.refuseConfiguration();
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(driver_->FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
}

TEST_F(EmulatedChipTest, ChipWithoutASerialListsAnEmptyOne)
{
    EmulatedDevice device;
    device.serialString = false;
    plug(device);
    ASSERT_EQ(count(), 1u);
    EXPECT_EQ(listed(0, FT_OPEN_BY_SERIAL_NUMBER), "");
    EXPECT_EQ(listed(0, FT_OPEN_BY_DESCRIPTION), "Korvantix");
}

// The console's whole life on one tracker: identified after short version
// replies (retries, a beep), polling, a modem update on its own link, polling
// again, the window closed. It must give back every descriptor it took, and
// nothing in it may abort the program (the test bed's sound card probe once
// did, at the first beep).
class ConsoleRoundTest : public EmulatedChipTest {
protected:
    static size_t openDescriptors()
    {
        const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
        return static_cast<size_t>(std::distance(std::filesystem::begin(entries), std::filesystem::end(entries)));
    }

    // The window's timers run for ms of real time.
    void settle(int ms)
    {
        const int64_t endUs = time_.monotonicUs() + int64_t(ms) * 1000;
        while (time_.monotonicUs() < endUs) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            time_.sleepMs(5);
        }
    }

    // Descriptors open after the round less those before it. The tracker is
    // pulled out afterwards, outside the count: umockdev's own uevent sender
    // keeps a socket when a closed listener's address is left behind.
    long round(int number)
    {
        SCOPED_TRACE("round " + std::to_string(number));
        sim::Scenario scenario = sim::defaultScenario();
        scenario.faults.shortVersionReplies = 3;
        EmulatedDevice device;
        device.address = 2 + number;  // a tracker plugged in anew gets the next address
        EmulatedFt232r& chip = plug(device, scenario);
        const size_t before = openDescriptors();
        {
            TKorvantixtest window(*driver_, time_, dir_.path().toStdString());
            window.show();
            window.findChild<QCheckBox*>("AutoCheckBox")->setChecked(true);
            QApplication::processEvents();
            // Identification is a queued action on the device worker.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !window.deviceActions().busy(); }, 20000));
            EXPECT_EQ(window.findChild<QLabel*>("SerPanel")->text(), "1234567");
            QTimer* poll = window.findChild<QTimer*>("Timer1");
            EXPECT_TRUE(poll->isActive());

            TelitTab* telit = test::telitTab(window);
            telit->findChild<QLineEdit*>("FirmwarePath")->setText(firmwarePath_);
            telit->TelitInitClick();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !window.deviceActions().busy(); }, 60000));
            QApplication::processEvents();  // the update's last lines and the polls it restarts
            const QString memo = telit->findChild<QPlainTextEdit*>("TelitMemo")->toPlainText();
            EXPECT_TRUE(memo.contains(QStringLiteral("Достигнут конец файла, конец перепрошивки:"))) << memo.toStdString();
            EXPECT_TRUE(poll->isActive()) << "polling goes on after the update";
            QLabel* voltage = window.findChild<QLabel*>("VoltagePanel");
            voltage->clear();
            settle(600);
            EXPECT_TRUE(voltage->text().startsWith(QStringLiteral("55"))) << voltage->text().toStdString();
            window.close();
        }
        const long taken = long(openDescriptors()) - long(before);
        chip.unplug();
        bed_.unplug(device);
        return taken;
    }

    void SetUp() override
    {
        EmulatedChipTest::SetUp();
        if (IsSkipped())
            return;
        telit::test::FirmwareBuilder firmware("FW", "T", 100);
        firmware.record(telit::test::payloadOf(1500)).record(telit::test::payloadOf(700, 3));
        firmwarePath_ = dir_.filePath(QStringLiteral("fw.bin"));
        firmware.writeTo(std::filesystem::path(firmwarePath_.toStdString()));
    }

    QTemporaryDir dir_;
    QString firmwarePath_;
};

TEST_F(ConsoleRoundTest, IdentificationRetriesAnUpdateAndClosingTheWindowLeaveNoDescriptorOpen)
{
    round(0);  // loads what stays loaded (fonts, the sound configuration)
    EXPECT_EQ(round(1), 0);
}

}  // namespace
}  // namespace ktx::usbemu
