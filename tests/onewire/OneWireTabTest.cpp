#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "widgets/PanelColors.h"
#include "widgets/StyledShape.h"
#include "io/IoFixture.h"
#include "onewire/ui/OneWireTab.h"
#include "onewire/sim/OneWireModule.h"
#include "sim/SimDriver.h"
#include "support/LocaleScope.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

using test::LocaleScope;
using test::saveScreenshot;

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

struct OneWireTabTest : ::testing::Test, io::test::IoBench {
    LocaleScope russian{kRussian};
    OneWireTab tab{context};
    QTimer& timer4 = *tab.findChild<QTimer*>("Timer4");

    const OneWireTab::Sensor& sensor(int n) { return tab.sensor(n - 1); }
    // Ticks until sensor n (1..8) has been served.
    void tickTo(int n)
    {
        do
            tab.Button16Click();
        while (tab.temperatureTest(context).sensor() != n - 1);
    }
};

TEST_F(OneWireTabTest, GroupsCarryTheirDesignerNames)
{
    for (int n = 1; n <= 8; ++n) {
        for (const QString& name : {QStringLiteral("temper%1id"), QStringLiteral("temper%1read"),
                 QStringLiteral("ThermoBig%1"), QStringLiteral("TempOk%1"), QStringLiteral("Check%1"),
                 QStringLiteral("TrackBar%1"), QStringLiteral("TemperLabel%1")})
            EXPECT_TRUE(tab.findChild<QWidget*>(name.arg(n))) << name.arg(n).toStdString();
        const QString group = QStringLiteral("GroupBox%1").arg(15 + n);
        EXPECT_EQ(tab.findChild<QWidget*>(QStringLiteral("temper%1id").arg(n))->parent()->objectName(), group);
    }
    EXPECT_EQ(sensor(1).value->text(), "0");
    EXPECT_EQ(sensor(1).scale->minimum(), -110);
    EXPECT_EQ(sensor(1).scale->maximum(), 55);
    EXPECT_TRUE(tab.findChild<QPushButton*>("Button16")->isHidden());
    EXPECT_EQ(tab.findChild<QLineEdit*>("IBUTTID1")->maxLength(), 12);
    EXPECT_EQ(tab.findChild<QLineEdit*>("IBUTTID1")->text(), "Номер");
}

TEST_F(OneWireTabTest, ReadButtonFillsItsOwnEdit)
{
    driver.onCommand("G1WIRE$", {std::string("1WIRE=\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99:true;")});
    QTest::mouseClick(sensor(4).read, Qt::LeftButton);
    EXPECT_EQ(sensor(4).address->text(), "a2b3c4d5e6f7");
    EXPECT_TRUE(sensor(3).address->text().isEmpty());

    // The key's edit takes all twelve digits; its limit is for typing only.
    tab.iButton1readClick();
    EXPECT_EQ(tab.findChild<QLineEdit*>("IBUTTID1")->text(), "a2b3c4d5e6f7");
}

TEST_F(OneWireTabTest, OnlyFilledAddressesReachTheDevice)
{
    sensor(3).address->setText("0");
    driver.onCommand("GTEMPFROMADDR=0;$", {"TEMPFROMADDR=23.8750;"});
    tab.findChild<QCheckBox*>("OneWire")->setChecked(true);
    EXPECT_TRUE(timer4.isActive());
    EXPECT_EQ(tab.findChild<QPushButton*>("Button17")->text(), "Остановить тестирование");

    for (int tick = 0; tick < 16; ++tick) {
        tab.Button16Click();
        const bool served = tab.temperatureTest(context).sensor() == 2;
        EXPECT_EQ(sensor(3).lamp->brushColor(), served ? colors::kRed : colors::kWhite) << tick;
        EXPECT_EQ(sensor(3).bar->brushStyle(), served ? Qt::SolidPattern : Qt::DiagCrossPattern) << tick;
    }
    EXPECT_EQ(driver.writes(), (std::vector<std::string>(2, "GTEMPFROMADDR=0;$")));
    EXPECT_EQ(log.streams.size(), 2u);
    EXPECT_EQ(sensor(3).value->text(), "23,875");
    EXPECT_EQ(sensor(3).scale->value(), -23);
    EXPECT_EQ(sensor(3).frame->brushColor(), QColor(0, 128, 0));
    EXPECT_EQ(sensor(3).bar->brushColor(), QColor(159, 255, 159));

    // -55.0 leaves the display as it was; the lamp stays red, the frame white.
    driver.onCommand("GTEMPFROMADDR=0;$", {"TEMPFROMADDR=-55.0000;"});
    tickTo(3);
    EXPECT_EQ(sensor(3).value->text(), "23,875");
    EXPECT_EQ(sensor(3).lamp->brushColor(), colors::kRed);
    EXPECT_EQ(sensor(3).frame->brushColor(), colors::kWhite);
    EXPECT_EQ(log.streams.size(), 2u);
}

TEST_F(OneWireTabTest, ValueTextFollowsTheLocale)
{
    sensor(1).address->setText("a2b3c4d5e6f7");
    driver.onCommand("GTEMPFROMADDR=a2b3c4d5e6f7;$", {"TEMPFROMADDR=23.9000;"});
    tickTo(1);
    EXPECT_EQ(sensor(1).value->text(), "23,8999996185303");
    EXPECT_LE(QFontMetrics(sensor(1).value->font()).horizontalAdvance(sensor(1).value->text()),
        sensor(1).value->width());

    LocaleScope c(QLocale::c());
    tickTo(1);
    EXPECT_EQ(sensor(1).value->text(), "23.8999996185303");
    EXPECT_EQ(log.streams.back().fields, "TEMP(a2b3c4d5e6f7)=23.900\r\n");
}

TEST_F(OneWireTabTest, FailuresStopTheTestAndTheIndexCarriesOn)
{
    sensor(2).address->setText("1");
    sensor(4).address->setText("2");
    tab.Button17Click();
    ASSERT_TRUE(tab.findChild<QCheckBox*>("OneWire")->isChecked());

    driver.failCall("FT_Open");
    tab.Button16Click();  // sensor 2
    EXPECT_FALSE(tab.findChild<QCheckBox*>("OneWire")->isChecked());
    EXPECT_FALSE(timer4.isActive());
    EXPECT_EQ(tab.findChild<QPushButton*>("Button17")->text(), "Запустить тестирование");

    // Started again, the test goes on with the sensor after the failed one.
    driver.failCall("FT_Open", FT_OK);
    driver.onCommand("GTEMPFROMADDR=2;$", {"TEMPFROMADDR=CRC ERR;"});
    tab.Button17Click();
    EXPECT_EQ(sensor(2).frame->brushColor(), colors::kWhite);
    tab.Button16Click();  // sensor 3: empty
    tab.Button16Click();  // sensor 4: unreadable five times
    EXPECT_EQ(driver.writes().back(), "GTEMPFROMADDR=2;$");
    EXPECT_FALSE(tab.findChild<QCheckBox*>("OneWire")->isChecked());

    // A key read that cannot reach the device stops the test as well.
    tab.Button17Click();
    driver.onCommand("G1WIRE$", {"short"});
    tab.iButton1readClick();
    EXPECT_FALSE(tab.findChild<QCheckBox*>("OneWire")->isChecked());
    EXPECT_EQ(tab.findChild<QLineEdit*>("IBUTTID1")->text(), "Номер");
}

TEST_F(OneWireTabTest, HeartbeatAlternatesOnTicksThatReachTheDevice)
{
    sensor(2).address->setText("7");
    const QColor before = colors::background(tab.findChild<QCheckBox*>("OneWire"));
    EXPECT_EQ(before, colors::kBtnFace);
    tab.Button16Click();
    EXPECT_EQ(colors::background(tab.findChild<QCheckBox*>("OneWire")), colors::kBtnShadow);
    tab.Button16Click();  // empty address: no exchange, no blink
    EXPECT_EQ(colors::background(tab.findChild<QCheckBox*>("OneWire")), colors::kBtnShadow);
}

// The technician puts each sensor on the bus alone, reads its address, then
// connects all eight and runs the test.
TEST(OneWireTabSimulated, EightSensorsReadAndShown)
{
    LocaleScope russian(kRussian);
    VirtualTimeSource time;
    sim::SimDriver driver(time, sim::defaultScenario());
    UsbLink link(driver, time);
    io::test::RecordingSink log;
    DeviceInfo device;
    device.version = 57;
    AppContext context{link, time, log, device};
    OneWireTab tab(context);
    QTimer& timer4 = *tab.findChild<QTimer*>("Timer4");
    tab.resize(777, 421);

    auto* bus = driver.device().module<sim::OneWireModule>();
    ASSERT_TRUE(bus);
    const auto sensors = bus->values().sensors;
    ASSERT_EQ(sensors.size(), 8u);
    for (int n = 0; n < 8; ++n) {
        std::array<uint8_t, 8> rom{0x28};
        for (int i = 0; i < 6; ++i)
            rom[static_cast<size_t>(i + 1)] = static_cast<uint8_t>(std::stoi(sensors[static_cast<size_t>(n)].address.substr(i * 2, 2), nullptr, 16));
        bus->setBus({rom});
        tab.temperReadClick(n + 1);
        EXPECT_EQ(tab.sensor(n).address->text().toStdString(), sensors[static_cast<size_t>(n)].address);
    }
    tab.findChild<QCheckBox*>("OneWire")->setChecked(true);
    for (int tick = 0; tick < 8; ++tick) {
        tab.Button16Click();
        time.advanceMs(1000);
    }
    for (int n = 0; n < 8; ++n) {
        const double shown = static_cast<float>(sensors[static_cast<size_t>(n)].temperature);
        const QString expected = QLocale().toString(shown, 'g', 15);
        EXPECT_EQ(tab.sensor(n).value->text(), expected) << n;
    }
    EXPECT_EQ(log.streams.size(), 8u);
    EXPECT_TRUE(log.debug.empty());
    tab.findChild<QCheckBox*>("OneWire")->setChecked(false);
    saveScreenshot(tab, "onewire_tab.png");
}

}  // namespace
}  // namespace ktx
