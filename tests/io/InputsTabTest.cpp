#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QDir>
#include <QLocale>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include "io/ui/InputsTab.h"
#include "widgets/PanelColors.h"
#include "widgets/ShapeWidget.h"
#include "base/TextCodec.h"
#include "io/IoFixture.h"
#include "sim/SimDriver.h"
#include "support/LocaleScope.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

// A Russian system: decimal comma. Set before the tab is built.
struct RussianLocale : ktx::test::LocaleScope {
    RussianLocale() : LocaleScope(ktx::test::russianLocale()) {}
};

struct InputsTabTest : ::testing::Test, RussianLocale, io::test::IoBench {

    InputsTab tab{context};
    QTimer& timer1 = *tab.findChild<QTimer*>("Timer1");
    QTimer& timer6 = *tab.findChild<QTimer*>("Timer6");

    // Controls by their designer names, as the window and the settings see them.
    template <class T>
    T* c(const char* name)
    {
        T* control = tab.findChild<T*>(QString::fromLatin1(name));
        if (!control)
            ADD_FAILURE() << "no control " << name;
        return control;
    }

    void startTest()
    {
        c<QCheckBox>("WorkBox")->setChecked(true);
        ASSERT_TRUE(timer1.isActive());
    }
};

TEST_F(InputsTabTest, PollFillsTheTab)
{
    device.version = 57;
    EXPECT_EQ(c<QLineEdit>("Edit4")->text(), "1,0");
    c<QLineEdit>("Edit1")->setText("2,5");
    c<QLineEdit>("Edit2")->setText("abc");
    c<QLineEdit>("Edit3")->setText("1.5");  // a point is no decimal separator here
    answer("DEVICE_TEST,0,0$", "555,1,0,100,200,5,6,700,10,tt=1234\r\n",
        "ADD_TEST=33,44,0,1,0,0,0,777,1,2,3,4;\r\n");
    tab.ButtonWorkClick();

    EXPECT_EQ(c<QLabel>("VoltagePanel")->text(), "555 (~12,8 В)");
    EXPECT_EQ(c<QProgressBar>("VoltageBar")->value(), 555);
    EXPECT_EQ(c<QProgressBar>("AkkBar")->value(), 700);
    EXPECT_EQ(c<QLabel>("PanelRec1")->text(), "1387,5");  // 2,5 × 555 in a Russian locale
    EXPECT_EQ(c<QLabel>("PanelRec2")->text(), "100");     // not a number: factor 1
    EXPECT_EQ(c<QLabel>("PanelRec3")->text(), "200");
    EXPECT_EQ(c<QLabel>("PanelRec4")->text(), "700");
    EXPECT_EQ(c<QLabel>("PanelRec3")->text(), "200");
    EXPECT_EQ(c<QLabel>("PanelRec4")->text(), "700");
    EXPECT_EQ(c<QLabel>("Panel2")->text(), "6");
    EXPECT_EQ(c<QLabel>("Count4")->text(), "44");
    EXPECT_EQ(c<QLabel>("Count8")->text(), "4");
    EXPECT_FALSE(c<QLabel>("Count5")->isHidden());
    EXPECT_EQ(c<QLabel>("in1")->text(), "1");
    EXPECT_EQ(c<QLabel>("in4")->text(), "1");
    EXPECT_EQ(c<QLabel>("in5")->text(), "1");
    EXPECT_TRUE(c<QWidget>("Image1z")->isHidden());
    EXPECT_FALSE(c<QWidget>("Image2z")->isHidden());
    EXPECT_EQ(colors::background(c<QFrame>("Panelv1")), colors::kBtnFace);
    EXPECT_EQ(colors::background(c<QFrame>("Panelv2")), colors::kRed);  // inputs 1..4 alarm at 0
    EXPECT_EQ(colors::background(c<QFrame>("Panelv5")), colors::kRed);  // inputs 5..8 alarm at 1
    EXPECT_EQ(colors::background(c<QFrame>("Panelv6")), colors::kBtnFace);
    EXPECT_EQ(colors::background(c<QLabel>("Panel26")), colors::kYellow);
    EXPECT_TRUE(c<QPushButton>("ButtonWork")->isEnabled());

    // A short ADD_TEST hides counters 5..8; the heartbeat turns blue.
    answer("DEVICE_TEST,0,0$", "555,1,0,100,200,5,6,700,10,tt=1434\r\n", "ADD_TEST=33,44,0,1,0,0,0,777;\r\n");
    tab.ButtonWorkClick();
    EXPECT_TRUE(c<QLabel>("Count5")->isHidden());
    EXPECT_EQ(colors::background(c<QLabel>("Panel26")), colors::kBlue);
    EXPECT_EQ(colors::textColor(c<QLabel>("Panel26")), colors::kYellow);

    // Newer firmware: the supply is linear, the battery is not.
    device.version = 900;
    answer("DEVICE_TEST,0,0$", "555,1,0,100,200,5,6,555,10\r\n", "");
    tab.ButtonWorkClick();
    EXPECT_EQ(c<QLabel>("VoltagePanel")->text(), "555 (~19,4 В)");
    EXPECT_EQ(c<QLabel>("AkkPanel")->text(), "555 (~12,8 В)");
    EXPECT_FALSE(c<QLabel>("Count5")->isVisibleTo(&tab));  // a missing ADD_TEST leaves it as it was

    ktx::test::saveScreenshot(tab, "inputs_tab.png");
}

TEST_F(InputsTabTest, OutputsTravelWithThePollAndTheLampsFollow)
{
    QTest::mouseClick(c<QCheckBox>("OutBox"), Qt::LeftButton);
    EXPECT_TRUE(c<QCheckBox>("OutBox")->isChecked());
    EXPECT_EQ(c<ShapeWidget>("OutShape")->brushColor(), colors::kAqua);
    tab.ButtonWorkClick();
    EXPECT_EQ(driver.writes().front(), "DEVICE_TEST,1,0$");

    // A press of any button on the grey bar toggles output 1, like its box.
    QTest::mousePress(c<ShapeWidget>("Shape6"), Qt::MiddleButton);
    EXPECT_FALSE(c<QCheckBox>("OutBox")->isChecked());
    EXPECT_EQ(c<ShapeWidget>("OutShape")->brushColor(), colors::kWhite);
    QTest::mousePress(c<ShapeWidget>("OutShape"), Qt::RightButton);
    EXPECT_TRUE(c<QCheckBox>("OutBox")->isChecked());

    QTest::mousePress(c<ShapeWidget>("Shape7"), Qt::LeftButton);
    EXPECT_TRUE(c<QCheckBox>("OutBox2")->isChecked());
    EXPECT_EQ(c<ShapeWidget>("OutShape2")->brushColor(), colors::kAqua);
    driver.clearCalls();
    tab.ButtonWorkClick();
    EXPECT_EQ(driver.writes().front(), "DEVICE_TEST,1,1$");
}

TEST_F(InputsTabTest, RightClickOnTheSecondLampTogglesOnce)
{
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    // The press plus the context menu the platform raises for it.
    QTest::mousePress(c<ShapeWidget>("OutShape2"), Qt::RightButton);
    QTest::mouseRelease(c<ShapeWidget>("OutShape2"), Qt::RightButton);
    EXPECT_TRUE(c<QCheckBox>("OutBox2")->isChecked());
    // Where the menu comes on release, it arrives separately: still no toggle.
    QContextMenuEvent mouseMenu(QContextMenuEvent::Mouse, QPoint(20, 20), c<ShapeWidget>("OutShape2")->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(c<ShapeWidget>("OutShape2"), &mouseMenu);
    EXPECT_TRUE(c<QCheckBox>("OutBox2")->isChecked());
    EXPECT_EQ(c<ShapeWidget>("OutShape2")->brushColor(), colors::kAqua);
    // The keyboard's menu key toggles, once.
    QContextMenuEvent keyMenu(QContextMenuEvent::Keyboard, QPoint(20, 20), c<ShapeWidget>("OutShape2")->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(c<ShapeWidget>("OutShape2"), &keyMenu);
    EXPECT_FALSE(c<QCheckBox>("OutBox2")->isChecked());
    EXPECT_EQ(c<ShapeWidget>("OutShape2")->brushColor(), colors::kWhite);
}

TEST_F(InputsTabTest, StartAndStopAndDeviceUnplugged)
{
    c<QLabel>("freq1")->setText("=1.0 Hz");
    QTest::mouseClick(c<QPushButton>("Program"), Qt::LeftButton);
    EXPECT_TRUE(c<QCheckBox>("WorkBox")->isChecked());
    EXPECT_TRUE(timer1.isActive());
    EXPECT_TRUE(timer6.isActive());
    EXPECT_EQ(c<QLabel>("freq1")->text(), "ждите");
    EXPECT_EQ(c<QLabel>("freq8")->text(), "ждите");

    driver.failCall("FT_Open");
    timer1.timeout({});  // the next tick
    EXPECT_EQ(log.debug, std::vector<std::string>{cp1251FromUtf8("Устройство не подключено")});
    EXPECT_FALSE(c<QCheckBox>("WorkBox")->isChecked());
    EXPECT_FALSE(timer1.isActive());
    EXPECT_FALSE(timer6.isActive());
    EXPECT_TRUE(c<QPushButton>("ButtonWork")->isEnabled());
    EXPECT_EQ(driver.countCalls("FT_Write"), 0);
}

TEST_F(InputsTabTest, FrequencyTicksShowFlipAndLog)
{
    startTest();
    answer("DEVICE_TEST,0,0$", "0,0,0,0,0,1000,0,0,0,tt=5000\r\n", "ADD_TEST=0,0,0,0,0,0,0,0;\r\n");
    tab.ButtonWorkClick();
    timer6.timeout({});  // baseline only
    EXPECT_EQ(c<QLabel>("freq1")->text(), "ждите");
    ASSERT_EQ(log.streams.back().directory, "FREQUENCY");
    EXPECT_EQ(log.streams.back().stem, "FREQUENCYstream");
    const std::string wait = cp1251FromUtf8("ждите");
    EXPECT_EQ(log.streams.back().fields, "F1 " + wait + "\tF2 " + wait + "\tF3 " + wait + "\tF4 " + wait + "\tF5 "
            + wait + "\tF6 " + wait + "\tF7 " + wait + "\tF8 " + wait + "\r\n");

    answer("DEVICE_TEST,0,0$", "0,0,0,0,0,2000,0,0,0,tt=15000\r\n", "ADD_TEST=0,0,0,0,0,0,0,0;\r\n");
    tab.ButtonWorkClick();
    timer6.timeout({});
    // The screen in the user's language and separator; the log as the
    // technicians' tools read it.
    EXPECT_EQ(c<QLabel>("freq1")->text(), "=50,0 Гц");
    EXPECT_EQ(colors::background(c<QLabel>("freq1")), colors::kBtnFace);  // from the design's shadow
    EXPECT_EQ(colors::background(c<QLabel>("freq2")), colors::kBtnShadow);
    EXPECT_EQ(log.streams.back().fields, "F1 =50.0 Hz\tF2 " + wait + "\tF3 " + wait + "\tF4 " + wait + "\tF5 " + wait
            + "\tF6 " + wait + "\tF7 " + wait + "\tF8 " + wait + "\r\n");

    // The same rate again still flips the colour, so it shows as fresh.
    answer("DEVICE_TEST,0,0$", "0,0,0,0,0,3000,0,0,0,tt=25000\r\n", "ADD_TEST=0,0,0,0,0,0,0,0;\r\n");
    tab.ButtonWorkClick();
    timer6.timeout({});
    EXPECT_EQ(c<QLabel>("freq1")->text(), "=50,0 Гц");
    EXPECT_EQ(colors::background(c<QLabel>("freq1")), colors::kBtnShadow);

    // Timer1 stopped elsewhere while WorkBox stays checked: Timer6 stops itself.
    timer1.stop();
    const size_t lines = log.streams.size();
    timer6.timeout({});
    EXPECT_FALSE(timer6.isActive());
    EXPECT_TRUE(c<QCheckBox>("WorkBox")->isChecked());
    EXPECT_EQ(log.streams.size(), lines);
}

// The whole loop against the simulated tracker in virtual time: polls every
// 200 ms, a frequency tick every 10 s; the scenario's counters run at 10, 5, 2
// and 1 counts a second, which the formula shows halved.
TEST(InputsTabSimulated, PollsAndFrequenciesFollowTheDevice)
{
    RussianLocale russian;
    VirtualTimeSource time;
    sim::SimDriver driver(time, sim::defaultScenario());
    UsbLink link(driver, time);
    io::test::RecordingSink log;
    DeviceInfo device;
    device.version = 57;
    AppContext context{link, time, log, device};
    InputsTab tab(context);
    QTimer& timer1 = *tab.findChild<QTimer*>("Timer1");
    QTimer& timer6 = *tab.findChild<QTimer*>("Timer6");
    tab.findChild<QCheckBox*>("WorkBox")->setChecked(true);

    for (int tick = 0; tick < 3; ++tick) {
        for (int poll = 0; poll < 50; ++poll) {
            tab.ButtonWorkClick();
            time.advanceMs(200);
        }
        tab.Timer6Timer();
    }
    // The counters' stamps were kept: the third tick shows frequencies.
    EXPECT_FALSE(tab.findChild<QLabel*>("freq1")->text().contains(QStringLiteral("ждите")));
    EXPECT_FALSE(tab.findChild<QLabel*>("Count5")->isHidden());
    EXPECT_EQ(tab.findChild<QLabel*>("in1")->text(), "1");
    EXPECT_EQ(tab.findChild<QLabel*>("in3")->text(), "1");
    EXPECT_EQ(tab.findChild<QLabel*>("in6")->text(), "1");
    EXPECT_TRUE(tab.findChild<QLabel*>("VoltagePanel")->text().contains(QStringLiteral(" (~12,")));

    const double rates[] = {10, 5, 2, 1};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const QString text = tab.findChild<QLabel*>(QStringLiteral("freq%1").arg(k + 1))->text();
        ASSERT_TRUE(text.startsWith('=') && text.endsWith(" Гц")) << text.toStdString();
        bool number = false;
        EXPECT_NEAR(QLocale().toDouble(text.mid(1, text.size() - 4), &number), rates[k] / 2, 0.11);
        EXPECT_TRUE(number) << text.toStdString();
    }
    EXPECT_TRUE(log.debug.empty());
    EXPECT_EQ(log.streams.size(), 3u * 50 * 2 + 3);
}

// Under C or en_US nothing on the tab may show a comma, before or after the
// first poll; under ru_RU nothing a point.
TEST(InputsTabLocaleTest, EveryNumberTextUsesTheLocaleSeparatorFromTheStart)
{
    const std::pair<QLocale, QString> locales[] = {
        {QLocale::c(), QStringLiteral(".")},
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral(".")},
        {QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral(",")},
    };
    for (const auto& [locale, point] : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        io::test::IoBench bench;
        InputsTab tab{bench.context};
        auto text = [&tab](const char* name) { return tab.findChild<QWidget*>(name)->property("text").toString(); };
        for (const char* panel : {"VoltagePanel", "AinPanel1", "AinPanel2", "AkkPanel"})
            EXPECT_EQ(text(panel), "0 (~0" + point + "0 В)") << panel;
        EXPECT_EQ(text("Edit1"), "1" + point + "0");

        bench.answer("DEVICE_TEST,0,0$", "555,1,0,100,200,5,6,700,10\r\n", "");
        tab.ButtonWorkClick();
        EXPECT_EQ(text("VoltagePanel"), "555 (~12" + point + "8 В)");
    }
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace ktx
