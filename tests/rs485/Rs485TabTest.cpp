#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "widgets/PanelColors.h"
#include "widgets/StyledShape.h"
#include "io/IoFixture.h"
#include "rs485/ui/Rs485Tab.h"
#include "rs485/sim/Rs485Module.h"
#include "sim/SimDriver.h"
#include "support/LocaleScope.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

constexpr const char* kDefaultCommand = "LLSTEST=1,2,3,4,5,6,7,8;$";
constexpr const char* kExtenderCommand = "S485=5:7:50:19200:31FD0500A5;";

struct Rs485TabTest : ::testing::Test, io::test::IoBench {
    Rs485Tab tab{context};
    QTimer& timer2 = *tab.findChild<QTimer*>("Timer2");
    QTimer& timer5 = *tab.findChild<QTimer*>("Timer5");
    std::vector<QString> messages;

    Rs485TabTest()
    {
        tab.setMessageHandler([this](const QString& text) { messages.push_back(text); });
    }

    template <class T>
    T* c(const QString& name)
    {
        T* control = tab.findChild<T*>(name);
        if (!control)
            ADD_FAILURE() << "no control " << name.toStdString();
        return control;
    }
    QString text(const QString& name) { return c<QLabel>(name)->text(); }
};

TEST_F(Rs485TabTest, PollShowsLevelsAndTemperatures)
{
    driver.onCommand(kDefaultCommand, {"LLSTEST=100,20:200,21:300,22:400,23:500,24:600,25:700,26:5000,-27;"});
    tab.Button12Click();
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(text(QStringLiteral("LLSLevel%1").arg(k)), QString::number(100 * k));
        EXPECT_EQ(text(QStringLiteral("LLSTemper%1").arg(k)), QString::number(19 + k));
        EXPECT_EQ(c<QProgressBar>(QStringLiteral("LLSBar%1").arg(k))->value(), 100 * k);
    }
    EXPECT_EQ(text("LLSLevel8"), "5000");
    EXPECT_EQ(text("LLSTemper8"), "-27");
    EXPECT_EQ(c<QProgressBar>("LLSBar8")->value(), 4095);
    EXPECT_EQ(colors::background(c<QLabel>("Panel42")), colors::kYellow);

    // Fifteen integers: only the heartbeat changes.
    driver.onCommand(kDefaultCommand, {"LLSTEST=-1,0:0,0:0,0:0,0:0,0:0,0:0,0:0;"});
    tab.Button12Click();
    EXPECT_EQ(text("LLSLevel1"), "100");
    EXPECT_EQ(colors::background(c<QLabel>("Panel42")), colors::kBlue);
    EXPECT_EQ(colors::textColor(c<QLabel>("Panel42")), colors::kYellow);

    driver.onCommand(kDefaultCommand, {"LLSTEST=-1,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0;"});
    tab.Button12Click();
    EXPECT_EQ(text("LLSLevel1"), "-1");
    EXPECT_EQ(c<QProgressBar>("LLSBar1")->value(), 0);
}

TEST_F(Rs485TabTest, StartingClearsTheDisplaysStoppingKeepsThem)
{
    EXPECT_EQ(text("LLSLevel3"), "---");
    EXPECT_EQ(text("LLSTemper3"), "0");
    driver.onCommand(kDefaultCommand, {"LLSTEST=1,2:3,4:5,6:7,8:9,10:11,12:13,14:15,16;"});
    tab.Button14Click();
    EXPECT_TRUE(timer2.isActive());
    EXPECT_EQ(text("LLSTemper3"), "-");
    tab.Button12Click();
    tab.Button14Click();
    EXPECT_FALSE(timer2.isActive());
    EXPECT_EQ(text("LLSLevel3"), "5");
    EXPECT_EQ(c<QPushButton>("Button14")->text(), "Запуск проверки LLS");
    tab.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
    EXPECT_EQ(text("LLSLevel3"), "---");
    EXPECT_EQ(c<QProgressBar>("LLSBar3")->value(), 0);

    // Unplugged: the poll says so once and stops itself.
    driver.failCall("FT_Open");
    tab.Button12Click();
    EXPECT_FALSE(tab.findChild<QCheckBox*>("CheckBox1")->isChecked());
    EXPECT_FALSE(timer2.isActive());
    EXPECT_EQ(log.debug.size(), 1u);
}

TEST_F(Rs485TabTest, EmptyAddressLeavesAnEmptyField)
{
    c<QLineEdit>("LLSAddr2")->clear();
    driver.onCommand("LLSTEST=1,,3,4,5,6,7,8;$", {"LLSTEST=1,2:3,4:5,6:7,8:9,10:11,12:13,14:15,16;"});
    tab.Button12Click();
    EXPECT_EQ(driver.writes().back(), "LLSTEST=1,,3,4,5,6,7,8;$");
    EXPECT_EQ(text("LLSLevel2"), "3");
}

TEST_F(Rs485TabTest, Button24AdvancesAddressesUntilOneIsNotANumber)
{
    const auto edits = tab.addressEdits();
    EXPECT_EQ(edits[6]->objectName(), "LLSAddr7");
    tab.Button24Click();
    EXPECT_EQ(edits[0]->text(), "9");
    EXPECT_EQ(edits[7]->text(), "16");
    tab.Button24Click();
    EXPECT_EQ(edits[7]->text(), "24");
    EXPECT_TRUE(messages.empty());

    edits[3]->setText("abc");
    tab.Button24Click();
    EXPECT_EQ(edits[2]->text(), "27");  // earlier slots already advanced
    EXPECT_EQ(edits[3]->text(), "abc");
    EXPECT_EQ(edits[4]->text(), "21");  // later ones unchanged
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("'abc'"));
}

TEST_F(Rs485TabTest, ExtenderAnswerSetsTheCells)
{
    driver.onCommand(kExtenderCommand, {"S485=7:3EFD0700FE0129;"});
    tab.RashirClick();
    EXPECT_EQ(c<QLineEdit>("RashirCommand")->text(), kExtenderCommand);
    EXPECT_EQ(c<QLineEdit>("RashirEdit")->text(), "S485=7:3EFD0700FE0129;");
    for (int input = 9; input <= 24; ++input) {
        const bool on = input == 9 || input == 17;
        EXPECT_EQ(text(QStringLiteral("in%1").arg(input)), on ? "1" : "0") << input;
        EXPECT_EQ(colors::background(c<QFrame>(QStringLiteral("Panelv%1").arg(input))),
            on ? colors::kRed : colors::kBtnFace);
        EXPECT_EQ(c<QLabel>(QStringLiteral("Image%1z").arg(input))->isHidden(), on) << input;
    }
    // Back pictures lie under the front ones of the same cell.
    EXPECT_EQ(c<QLabel>("Image14")->parent(), c<QLabel>("Image9z")->parent());
    EXPECT_EQ(c<QLabel>("Image29")->parent(), c<QLabel>("Image24z")->parent());

    // A refused answer changes no input.
    driver.onCommand(kExtenderCommand, {"S485=7:3EFD0700FF0000;"});
    tab.RashirClick();
    EXPECT_EQ(text("in9"), "1");
    EXPECT_EQ(c<QPlainTextEdit>("memo485")->toPlainText(), "");  // the window attaches the console
    EXPECT_EQ(log.rs485.size(), 1u);
}

TEST_F(Rs485TabTest, ExtenderSwitchAndBlink)
{
    auto* blink = c<StyledShape>("ShapeRash");
    EXPECT_EQ(blink->brushColor(), colors::kWhite);
    EXPECT_EQ(c<QPushButton>("Button23")->text(), "Включить опрос расширителя");
    tab.Button23Click();
    EXPECT_TRUE(tab.findChild<QCheckBox*>("RashirEnable")->isChecked());
    EXPECT_TRUE(timer5.isActive());
    EXPECT_EQ(c<QPushButton>("Button23")->text(), "Выключить");

    // The blink comes first, even when the port will not open.
    driver.failCall("FT_Open");
    tab.RashirClick();
    EXPECT_EQ(blink->brushColor(), colors::kRed);
    EXPECT_FALSE(tab.findChild<QCheckBox*>("RashirEnable")->isChecked());
    EXPECT_FALSE(timer5.isActive());
    EXPECT_EQ(c<QPushButton>("Button23")->text(), "Включить");
    tab.RashirClick();
    EXPECT_EQ(blink->brushColor(), colors::kWhite);
}

TEST(Rs485TabLocale, InitialTextsHoldNoSeparator)
{
    for (const QLocale& locale : {QLocale(QLocale::Russian, QLocale::Russia), QLocale::c()}) {
        const test::LocaleScope scope(locale);
        io::test::IoBench bench;
        Rs485Tab tab(bench.context);
        EXPECT_EQ(tab.findChild<QLabel*>("LLSTemper1")->text(), "0");
        EXPECT_EQ(tab.findChild<QLabel*>("LLSLevel1")->text(), "---");
    }
}

// The default simulated tracker: eight sensors and a mixed input pattern.
TEST(Rs485TabSimulated, DefaultScenarioFillsTheTab)
{
    const test::LocaleScope russian(test::russianLocale());
    VirtualTimeSource time;
    sim::SimDriver driver(time, sim::defaultScenario());
    UsbLink link(driver, time);
    io::test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    Rs485Tab tab(context);
    QTimer& timer2 = *tab.findChild<QTimer*>("Timer2");
    QTimer& timer5 = *tab.findChild<QTimer*>("Timer5");
    tab.resize(777, 421);

    tab.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
    tab.Button12Click();
    tab.findChild<QCheckBox*>("CheckBox1")->setChecked(false);
    const auto& sensors = driver.device().module<sim::Rs485Module>()->values().fuelSensors;
    for (size_t k = 0; k < 8; ++k) {
        const QString level = tab.findChild<QLabel*>(QStringLiteral("LLSLevel%1").arg(k + 1))->text();
        EXPECT_EQ(level, QString::number(sensors[k].level)) << k;
    }

    tab.RashirClick();
    tab.RashirClick();
    const auto& inputs = driver.device().module<sim::Rs485Module>()->values().extenderInputs;
    for (int input = 9; input <= 24; ++input)
        EXPECT_EQ(tab.findChild<QLabel*>(QStringLiteral("in%1").arg(input))->text(),
            QString::number(inputs[static_cast<size_t>(input - 9)]));
    EXPECT_TRUE(log.rs485.empty());
    EXPECT_EQ(log.streams.size(), 3u);

    ktx::test::saveScreenshot(tab, "rs485_tab.png");
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace ktx
