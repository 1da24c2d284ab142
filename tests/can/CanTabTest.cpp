// The "CAN" tab against a scripted device and the simulated truck: what a
// poll shows, the lamps, the grids, hand edits, failures, the snapshot file.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <filesystem>

#include "link/AppContext.h"
#include "widgets/LocaleText.h"
#include "widgets/PanelColors.h"
#include "widgets/ShapeWidget.h"
#include "can/ui/CanTab.h"
#include "base/TextCodec.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "can/sim/CanModule.h"
#include "sim/SimDriver.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "CanReplyText.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"
#include "support/LocaleScope.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

using test::readBytes;

const QColor kGreen(0, 128, 0);

using ktx::test::LocaleScope;

using ktx::can::replyOf;

// The tab on a link of its own; the driver is scripted or simulated.
struct CanBench {
    QTemporaryDir dir;
    VirtualTimeSource& time;
    UsbLink link;
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    CanTab tab{context};
    QTimer& timer3 = *tab.findChild<QTimer*>("Timer3");

    CanBench(VirtualTimeSource& clock, FtDriver& driver) : time(clock), link(driver, clock)
    {
        timer3.setInterval(250);
        tab.writeGridHeaders();
        tab.setWorkDir(dir.path().toStdString());
    }

    template <class T>
    T* c(const char* name)
    {
        T* control = tab.findChild<T*>(QString::fromLatin1(name));
        if (!control)
            ADD_FAILURE() << "no control " << name;
        return control;
    }
    QString text(const char* name) { return c<QLabel>(name)->text(); }
    QString cell(const char* grid, int row, int column)
    {
        const QTableWidgetItem* item = c<QTableWidget>(grid)->item(row, column);
        return item ? item->text() : QString();
    }
    std::string snapshotFile(const std::string& serial)
    {
        return readBytes(std::filesystem::path(dir.path().toStdString()) / "CAN" / ("CAN-" + serial + ".txt"));
    }
    std::string stamp() { return dateTimeTextCp1251(time.wallClockUtcMs()); }
};

struct ScriptedCanTab : ::testing::Test {
    VirtualTimeSource time;
    test::ScriptedDriver scripted{&time};
    CanBench b{time, scripted};

    void answer(const std::string& reply) { scripted.onCommand("CANTEST;$", {reply}); }
    bool lampIs(const char* name, Qt::BrushStyle style, const QColor& color)
    {
        const ShapeWidget* lamp = b.c<ShapeWidget>(name);
        return lamp->brushStyle() == style && lamp->brushColor() == color;
    }
};

TEST_F(ScriptedCanTab, PollsShowDecodedGroupsLampsAndGrids)
{
    const LocaleScope russian(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_TRUE(lampIs("CanShape1", Qt::SolidPattern, colors::kWhite));
    b.c<QCheckBox>("Cruise")->setChecked(true);
    answer(replyOf({"18FEF100.00320000.00000000", "0CF00400.40000000.0000001F", "0CF00300.5E00.0",
        "18FEF200.00000001.00000002", "00000001.00000005.00000006", "18FEFC17.FFFFBEFF.FFFFFFFF",
        "18FEEA2F.FF1F4021.FFFFFFFF", "18FEEAC8.FF3E80FF.FFFFFFFF"}));
    b.tab.CANPushClick();

    EXPECT_EQ(scripted.writes(), std::vector<std::string>{"CANTEST;$"});
    EXPECT_EQ(b.text("CanLabel1"), "50");
    EXPECT_EQ(b.c<QLineEdit>("CAN1")->text(), "18FEF100");
    EXPECT_FALSE(b.c<QCheckBox>("Cruise")->isChecked());
    EXPECT_EQ(b.text("CanLabel5"), "1000,000");
    EXPECT_EQ(b.text("CanLabel2"), "37,6");
    EXPECT_EQ(b.text("CanLabel3"), "-");
    EXPECT_TRUE(lampIs("CanShape1", Qt::SolidPattern, kGreen));
    EXPECT_TRUE(lampIs("CanShape4", Qt::SolidPattern, kGreen));
    EXPECT_TRUE(lampIs("CanShape6", Qt::SolidPattern, kGreen));
    EXPECT_TRUE(lampIs("CanShape3", Qt::FDiagPattern, colors::kWhite));
    EXPECT_EQ(b.cell("CANGrid", 1, 0), "18FEF200");
    EXPECT_EQ(b.cell("CANGrid", 1, 1), "00000001");
    EXPECT_EQ(b.cell("CANGrid", 1, 2), "00000002");
    EXPECT_EQ(b.c<QTableWidget>("CANGrid")->rowCount(), 2);  // PGN 0 adds nothing
    EXPECT_EQ(b.cell("FuelGrid", 1, 1), "76,0");
    EXPECT_EQ(b.cell("FuelGrid", 1, 2), "190");
    EXPECT_EQ(b.cell("AxisGrid", 2, 0), "18FEEAC8");
    EXPECT_EQ(b.cell("WeightGrid", 2, 1), "4000");
    EXPECT_EQ(b.cell("WeightGrid", 2, 0), QStringLiteral("Ось 2"));
    EXPECT_EQ(b.text("LabelDefault"), "8000");
    EXPECT_EQ(colors::background(b.c<QWidget>("Panel47")), colors::kYellow);
    // One stream line per non-empty slot, PGN 0 included.
    ASSERT_EQ(b.log.streams.size(), 8u);
    EXPECT_EQ(b.log.streams[0].directory, "CAN");
    EXPECT_EQ(b.log.streams[0].stem, "CANstream");
    EXPECT_EQ(b.log.streams[0].fields, "18fef100 00320000 00000000\r\n");
    EXPECT_EQ(b.log.streams[4].fields, "00000001 00000005 00000006\r\n");
    // The record of last decoded frames: the speed group's bytes 1..8, and
    // 0xFF for a group never seen; the window's show forgets it all.
    const std::vector<uint8_t> speedBytes(b.tab.lastDecoded(b.context).begin(), b.tab.lastDecoded(b.context).begin() + 8);
    EXPECT_EQ(speedBytes, (std::vector<uint8_t>{0x00, 0x00, 0x32, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(b.tab.lastDecoded(b.context)[2 * 8], 0xFF);
    b.tab.resetLastDecoded();
    EXPECT_EQ(std::count(b.tab.lastDecoded(b.context).begin(), b.tab.lastDecoded(b.context).end(), 0xFF), 80);

    // Next snapshot: the undecoded row is rewritten, the speed is missing,
    // the engine group is absent (hatched but still green).
    b.log.streams.clear();
    answer(replyOf({"18fef200.abc.ffffffff", "18FEF100.00FFFF00.0", "0CF00300.FF00.0"}));
    b.tab.CANPushClick();
    EXPECT_EQ(b.c<QTableWidget>("CANGrid")->rowCount(), 2);
    EXPECT_EQ(b.cell("CANGrid", 1, 1), "00000ABC");
    EXPECT_EQ(b.cell("CANGrid", 1, 2), "FFFFFFFF");
    EXPECT_EQ(b.text("CanLabel1"), "-");
    EXPECT_EQ(b.text("CanLabel2"), "37,6");
    EXPECT_EQ(b.text("CanLabel5"), "1000,000");
    EXPECT_TRUE(lampIs("CanShape2", Qt::SolidPattern, kGreen));
    EXPECT_TRUE(lampIs("CanShape5", Qt::FDiagPattern, kGreen));
    EXPECT_EQ(colors::background(b.c<QWidget>("Panel47")), colors::kBlue);
    EXPECT_EQ(b.log.streams.size(), 3u);

    // Fourteen lines: an error line, and the lamps stay as they were.
    std::string fourteen = replyOf({"18FEF100.00320000.0"});
    fourteen.erase(fourteen.rfind("0.0.0"));
    answer(fourteen);
    b.tab.CANPushClick();
    ASSERT_EQ(b.log.debug.size(), 1u);
    EXPECT_EQ(b.log.debug[0], cp1251FromUtf8("Ошибка: ") + fourteen);
    EXPECT_TRUE(lampIs("CanShape5", Qt::FDiagPattern, kGreen));
    EXPECT_TRUE(lampIs("CanShape2", Qt::SolidPattern, kGreen));
    EXPECT_EQ(b.text("CanLabel1"), "-");
    EXPECT_EQ(b.log.streams.size(), 3u);

    // No reply at all: the same, with an empty text.
    answer("");
    b.tab.CANPushClick();
    EXPECT_EQ(b.log.debug.back(), cp1251FromUtf8("Ошибка: "));
}

TEST_F(ScriptedCanTab, HandEditedKeysAndHeaderCells)
{
    const std::string frame = replyOf({"18FEF200.1.2", "18FEFC21.FFFF64FF.0"});
    answer(frame);
    b.tab.CANPushClick();
    ASSERT_EQ(b.c<QTableWidget>("CANGrid")->rowCount(), 2);

    // The technician renames the row: the next frame adds a new one.
    b.c<QTableWidget>("CANGrid")->item(1, 0)->setText("18FEF2");
    answer(frame);
    b.tab.CANPushClick();
    ASSERT_EQ(b.c<QTableWidget>("CANGrid")->rowCount(), 3);
    EXPECT_EQ(b.cell("CANGrid", 2, 0), "18FEF200");
    EXPECT_EQ(b.cell("CANGrid", 1, 1), "00000001");

    // A header cell typed over with the identifier is found first.
    b.c<QTableWidget>("FuelGrid")->item(0, 0)->setText("18FEFC21");
    answer(replyOf({"18FEFC21.FFFF32FF.0"}));
    b.tab.CANPushClick();
    EXPECT_EQ(b.c<QTableWidget>("FuelGrid")->rowCount(), 2);
    EXPECT_EQ(b.cell("FuelGrid", 0, 1), "20.0");
    EXPECT_EQ(b.cell("FuelGrid", 1, 1), "40.0");
}

TEST_F(ScriptedCanTab, StartStopAndAnUnpluggedDevice)
{
    EXPECT_TRUE(b.c<QPushButton>("CANPush")->isHidden());
    QTest::mouseClick(b.c<QPushButton>("Button15"), Qt::LeftButton);
    EXPECT_TRUE(b.c<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_TRUE(b.timer3.isActive());

    scripted.failCall("FT_Open");
    b.timer3.timeout({});
    EXPECT_EQ(b.log.debug, std::vector<std::string>{cp1251FromUtf8("Устройство не подключено")});
    EXPECT_FALSE(b.c<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_FALSE(b.timer3.isActive());
    EXPECT_EQ(scripted.countCalls("FT_Write"), 0);
    EXPECT_EQ(colors::background(b.c<QWidget>("Panel47")), colors::kBtnShadow);
}

TEST_F(ScriptedCanTab, SnapshotBeforeAndAfterPolls)
{
    const LocaleScope c(QLocale::c());
    b.tab.Button21Click();
    const std::string empty = " | (speed) = -\r\n | (accelerator) = -\r\n | (consumption) = -\r\n | (RPM) = -\r\n"
                              " | (motohours) = -\r\n | (mileage) = -\r\n | (TO mileage) = -\r\n"
                              " | (temperature) = - - -\r\n";
    EXPECT_EQ(b.snapshotFile("10000"), "CAN 10000 (PENK-0.0g) - " + b.stamp() + "\r\n" + empty);

    answer(replyOf({"18FEEE00.2A80467D.FFFFFFFF", "18FEFC17.FFFFBEFF.0", "18FEFC21.FFFFFFFF.0", "0CF00300.5E00.0",
        "18FEF200.1.2", "18FEC1EE.FFFFFFFE.0"}));
    b.tab.CANPushClick();
    b.time.advanceMs(60000);
    b.tab.Button21Click();
    const std::string after = b.snapshotFile("10000");
    EXPECT_EQ(after, "CAN 10000 (PENK-0.0g) - " + b.stamp() + "\r\n"
            " | (speed) = -\r\n0CF00300 | (accelerator) = 37.6\r\n | (consumption) = -\r\n | (RPM) = -\r\n"
            " | (motohours) = -\r\n18FEC1EE | (mileage) = 21474836470\r\n | (TO mileage) = -\r\n"
            "18FEEE00 | (temperature) = 85 67 30\r\n"
            "18FEFC17 | fuel1 76.0 (190)\r\n18FEFC21 | fuel2 no level (255)\r\n18FEF200 | 00000001 00000002\r\n");

    // Typed texts go in as they stand, in Windows-1251; another serial is
    // another file, the first one is left alone.
    b.c<QLineEdit>("CAN2")->setText(QStringLiteral("педаль"));
    b.device.serialText = "A../7";
    b.device.versionText = "SUMI-5.7ab";  // what identification read, not another tab's label
    b.tab.Button21Click();
    const std::string second = b.snapshotFile("A.__7");
    EXPECT_EQ(second.substr(0, 22), "CAN A../7 (SUMI-5.7ab)");
    EXPECT_NE(second.find(cp1251FromUtf8("педаль") + " | (accelerator) = 37.6\r\n"), std::string::npos);
    EXPECT_EQ(second.substr(0, 11), "CAN A../7 (");
    EXPECT_EQ(b.snapshotFile("10000"), after);
}

// A disk that fills half-way through a snapshot (the file size limit stands
// in for it): the last snapshot stays whole and the press is answered.
TEST_F(ScriptedCanTab, SnapshotFailingHalfWayKeepsTheLastOneAndSaysSo)
{
    const LocaleScope c(QLocale::c());
    b.tab.Button21Click();
    const std::string first = b.snapshotFile("10000");
    ASSERT_FALSE(first.empty());

    b.c<QLineEdit>("CAN2")->setText(QStringLiteral("changed"));
    {
        const test::FileSizeLimit fullDisk(first.size() / 2);
        ASSERT_TRUE(fullDisk.active());
        b.tab.Button21Click();
    }

    EXPECT_EQ(b.snapshotFile("10000"), first);
    const auto entries = std::distance(std::filesystem::directory_iterator(b.dir.path().toStdString() + "/CAN"),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);  // no temporary file left behind
    ASSERT_EQ(b.log.debug.size(), 1u);
    const std::string said = utf8FromCp1251(b.log.debug[0]);
    EXPECT_EQ(said.rfind("Снимок CAN не записан: cannot write ", 0), 0u) << said;
    EXPECT_NE(said.find("CAN-10000.txt"), std::string::npos) << said;
}

// The simulated truck of the default scenario, polled for a while.
TEST(SimulatedCanTab, DefaultScenarioOnScreenAndInTheSnapshot)
{
    const LocaleScope russian(QLocale(QLocale::Russian, QLocale::Russia));
    VirtualTimeSource clock;
    sim::SimDriver simulator(clock, sim::defaultScenario());
    CanBench b(clock, simulator);
    b.device.serialText = "1234567";
    b.device.versionText = "SUMI-5.7ab";  // as identification leaves it
    b.c<QCheckBox>("CheckBox2")->setChecked(true);
    clock.advanceMs(30000);  // cruising
    for (int poll = 0; poll < 40; ++poll) {
        b.tab.CANPushClick();
        clock.advanceMs(250);
    }
    EXPECT_TRUE(b.log.debug.empty());
    EXPECT_EQ(b.log.streams.size(), 40u * 14);
    EXPECT_EQ(b.text("CanLabel1"), "88");
    EXPECT_TRUE(b.c<QCheckBox>("Cruise")->isChecked());
    EXPECT_FALSE(b.c<QCheckBox>("Brake")->isChecked());
    EXPECT_TRUE(b.text("CanLabel5").contains(u','));
    EXPECT_EQ(b.text("CanLabel10"), "85");
    EXPECT_EQ(b.c<QTableWidget>("FuelGrid")->rowCount(), 3);
    EXPECT_EQ(b.c<QTableWidget>("AxisGrid")->rowCount(), 3);
    EXPECT_EQ(b.c<QTableWidget>("CANGrid")->rowCount(), 9);
    EXPECT_EQ(b.text("LabelDefault"), "18000");
    EXPECT_EQ(b.cell("WeightGrid", 1, 1), "3100");
    EXPECT_EQ(b.cell("WeightGrid", 3, 2), "4900");
    for (int lamp = 1; lamp <= 10; ++lamp) {
        const ShapeWidget* shape = b.tab.findChild<ShapeWidget*>(QStringLiteral("CanShape%1").arg(lamp));
        EXPECT_EQ(shape->brushStyle(), Qt::SolidPattern) << lamp;
        EXPECT_EQ(shape->brushColor(), kGreen) << lamp;
    }

    ktx::test::saveScreenshot(b.tab, "can_tab.png");

    // Every line of the snapshot is what the tab shows.
    b.tab.Button21Click();
    const QString file = QString::fromStdString(utf8FromCp1251(b.snapshotFile("1234567")));
    QStringList lines = file.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.takeLast(), QString());
    const auto id = [&](const char* box) { return b.c<QLineEdit>(box)->text(); };
    QStringList expected = {
        QStringLiteral("CAN 1234567 (SUMI-5.7ab) - ") + dateTimeText(clock.wallClockUtcMs()),
        id("CAN1") + " | (speed) = " + b.text("CanLabel1"),
        id("CAN2") + " | (accelerator) = " + b.text("CanLabel2"),
        id("CAN3") + " | (consumption) = " + b.text("CanLabel3"),
        id("CAN5") + " | (RPM) = " + b.text("CanLabel5"),
        id("CAN7") + " | (motohours) = " + b.text("CanLabel7"),
        id("CAN8") + " | (mileage) = " + b.text("CanLabel8"),
        id("CAN9") + " | (TO mileage) = " + b.text("CanLabel9"),
        id("CAN10") + " | (temperature) = " + b.text("CanLabel10") + " " + b.text("CanLabel11") + " "
            + b.text("CanLabel12"),
    };
    for (int row = 1; row < b.c<QTableWidget>("FuelGrid")->rowCount(); ++row)
        expected << QStringLiteral("%1 | fuel%2 %3 (%4)")
                        .arg(b.cell("FuelGrid", row, 0))
                        .arg(row)
                        .arg(b.cell("FuelGrid", row, 1), b.cell("FuelGrid", row, 2));
    for (int row = 1; row < b.c<QTableWidget>("CANGrid")->rowCount(); ++row)
        expected << b.cell("CANGrid", row, 0) + " | " + b.cell("CANGrid", row, 1) + " " + b.cell("CANGrid", row, 2);
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(lines[8].startsWith(QStringLiteral("18FEEE00 | (temperature) = 8")));
}

}  // namespace
}  // namespace ktx
