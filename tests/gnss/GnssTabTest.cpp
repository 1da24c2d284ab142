// The "GPS/ГЛОНАСС" tab against a scripted device and the simulated tracker.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "widgets/PanelColors.h"
#include "widgets/ShapeWidget.h"
#include "gnss/ClockRegisters.h"
#include "gnss/ui/GnssTab.h"
#include "gnss/GnssBench.h"
#include "base/TextCodec.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

using gnss::test::ScopedLocale;
using test::control;
using test::saveScreenshot;

const QColor kLitGreen{0, 128, 0};

struct GnssTabTest : ::testing::Test, ScopedLocale, gnss::test::ScriptedBench {
    GnssTabTest() : ScopedLocale(gnss::test::russian()) {}

    GnssTab tab{context};
    QList<QUrl> opened;

    void SetUp() override
    {
        tab.setUrlOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }

    // The SetTimeouts of the last open.
    std::vector<int64_t> lastTimeouts() const
    {
        std::vector<int64_t> args;
        for (const auto& call : driver.calls())
            if (call.name == "FT_SetTimeouts")
                args = call.args;
        return args;
    }
};

TEST_F(GnssTabTest, PositionOfTheWorkedExampleThenRepliesThatChangeLess)
{
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "-");
    EXPECT_EQ(control<ShapeWidget>(tab, "Shape20")->brushColor(), QColor(255, 251, 240));
    driver.onCommand("GPOINT$", {"POINT=166113520,550912345,612345667,1;\r\n"});
    tab.Button19Click();

    EXPECT_EQ(driver.writes(), std::vector<std::string>{"GPOINT$"});
    EXPECT_EQ(lastTimeouts(), (std::vector<int64_t>{100, 100}));
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "POINT=166113520,550912345,612345667,1;\r\n");
    EXPECT_EQ(control<ShapeWidget>(tab, "Shape20")->brushColor(), kLitGreen);
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "A");
    EXPECT_EQ(control<QLabel>(tab, "LabelAboutAV")->text(), "Данные о координатах и времени приняты со спутника и достоверны");
    EXPECT_EQ(colors::textColor(control<QLabel>(tab, "LabelAboutAV")), kLitGreen);
    EXPECT_EQ(control<QLabel>(tab, "LabelSource")->text(), "GPS приемник");
    EXPECT_EQ(control<QLineEdit>(tab, "DateLabel")->text(), "15.03.2011");
    EXPECT_EQ(control<QLineEdit>(tab, "TimeLabel")->text(), "12:34:56");
    EXPECT_EQ(control<QLineEdit>(tab, "LatLabel")->text(), "55 09,12336 N");
    EXPECT_EQ(control<QLineEdit>(tab, "LonLabel")->text(), "61 23,45664 E");
    EXPECT_TRUE(control<QLineEdit>(tab, "CoorLine")->text().endsWith("&q=55+09.12336+N,61+23.45664+E"));

    // An unknown receiver kind keeps the source; the rest follows the reply.
    driver.onCommand("GPOINT$", {"POINT=31895792,-1596571303,612345667,2;"});
    tab.Button19Click();
    EXPECT_EQ(control<QLabel>(tab, "LabelSource")->text(), "GPS приемник");
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "V");
    EXPECT_EQ(control<ShapeWidget>(tab, "Shape20")->brushColor(), colors::kRed);
    EXPECT_EQ(colors::textColor(control<QLabel>(tab, "LabelAboutAV")), colors::kRed);
    EXPECT_EQ(control<QLineEdit>(tab, "LatLabel")->text(), "55 09,12336 S");

    // Without three words only the raw reply shows.
    driver.onCommand("GPOINT$", {"POINT=1,2"});
    tab.Button19Click();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "POINT=1,2");
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "V");
    EXPECT_EQ(control<QLineEdit>(tab, "LatLabel")->text(), "55 09,12336 S");

    // A device that cannot be opened changes nothing.
    driver.failCall("FT_Open");
    tab.Button19Click();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "POINT=1,2");
}

TEST_F(GnssTabTest, AntennaReadingsShowTheirPicturesAndVerdicts)
{
    EXPECT_EQ(control<QLabel>(tab, "Panel24")->text(), "----");
    EXPECT_EQ(control<QLabel>(tab, "Label139")->text(), "Статус неизвестен");
    EXPECT_TRUE(control<QLabel>(tab, "Image8")->isHidden() && control<QLabel>(tab, "Image9")->isHidden());
    EXPECT_EQ(control<QLabel>(tab, "Image7")->pixmap().size(), control<QLabel>(tab, "Image8")->pixmap().size());
    EXPECT_EQ(control<QLabel>(tab, "Image7")->pixmap().size(), control<QLabel>(tab, "Image9")->pixmap().size());
    EXPECT_EQ(control<QLabel>(tab, "Image7")->geometry(), control<QLabel>(tab, "Image8")->geometry());
    EXPECT_EQ(control<QLabel>(tab, "Image7")->geometry(), control<QLabel>(tab, "Image9")->geometry());

    const struct {
        const char* field;
        bool breakShown, shortShown;
        const char* verdict;
    } cases[] = {
        {"1023", true, false, "Возможно, модуль GPS не включен"},
        {"959", false, true, "Короткое замыкание в кабеле или антенне"},
        {"980", false, false, "Антенна нормально подключена"},
        {"-1", true, false, "Обрыв кабеля либо антенна не подключена"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        driver.onCommand("ADD_TEST$", {std::string("ADD_TEST=1,2,") + c.field + ",0,0,0,0,123,4,5,6,7;\r\n"});
        tab.Button18Click();
        EXPECT_EQ(control<QLabel>(tab, "Panel24")->text(), c.field);
        EXPECT_EQ(control<QLabel>(tab, "Image8")->isHidden(), !c.breakShown);
        EXPECT_EQ(control<QLabel>(tab, "Image9")->isHidden(), !c.shortShown);
        EXPECT_EQ(control<QLabel>(tab, "Label139")->text(), QString::fromUtf8(c.verdict));
    }
    EXPECT_EQ(lastTimeouts(), (std::vector<int64_t>{100, 100}));

    // The eight-field status record carries no antenna reading.
    driver.onCommand("ADD_TEST$", {"ADD_TEST=1,2,970,0,0,0,0,123;\r\n"});
    tab.Button18Click();
    EXPECT_EQ(control<QLabel>(tab, "Panel24")->text(), "-1");
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
}

TEST_F(GnssTabTest, ReceiverStartWaitsTwoSecondsAndChangesNothing)
{
    driver.onCommand("GPS_START$", {"GPS_START=1;"});
    tab.Button20Click();
    EXPECT_EQ(driver.writes(), std::vector<std::string>{"GPS_START$"});
    EXPECT_GE(time.sleptMs(), 2000u);
    EXPECT_LT(time.sleptMs(), 2200u);
    EXPECT_EQ(driver.readCount(), 1);
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "");
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
}

TEST_F(GnssTabTest, ClockReadAndSet)
{
    driver.onCommand("GTIMER$", {"TIMER=86:52:18:3:21:3:17;\r\n"});
    tab.GETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "15.03.2011 12:34:56 GMT");
    driver.onCommand("GTIMER$", {"TIMER=86:52:18"});
    tab.GETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "");

    // The set carries the time source's UTC time and both lines go to the modem console.
    const std::string command = "TIMER=86:52:18:3:21:3:17;";
    driver.onCommand(command, {"TIMER=87:52:18:3:21:3:17;"});
    driver.clearCalls();
    tab.SETTIMERClick();
    EXPECT_EQ(driver.writes(), std::vector<std::string>{command});
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "15.03.2011 12:34:57 GMT");
    EXPECT_EQ(log.modem, (std::vector<std::string>{">" + command, "<TIMER=87:52:18:3:21:3:17;"}));
    EXPECT_GE(time.sleptMs(), 50u);

    // A silent clock: the error text and a lone "<".
    driver.onCommand(command, {});
    log.modem.clear();
    tab.SETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "ошибка при установке");
    EXPECT_EQ(log.modem, (std::vector<std::string>{">" + command, "<"}));

    // Not opened: nothing sent, shown or logged.
    driver.failCall("FT_Open");
    log.modem.clear();
    driver.clearCalls();
    tab.SETTIMERClick();
    tab.GETTIMERClick();
    EXPECT_EQ(driver.countCalls("FT_Write"), 0);
    EXPECT_TRUE(log.modem.empty());
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "ошибка при установке");
}

TEST_F(GnssTabTest, MapLabelOpensTheEditedLinkAndOnlyWebAddresses)
{
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    EXPECT_EQ(control<QLabel>(tab, "maplabel")->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(control<QLabel>(tab, "maplabel"), Qt::LeftButton);  // nothing to open yet
    EXPECT_TRUE(opened.isEmpty());

    driver.onCommand("GPOINT$", {"POINT=166113520,550912345,612345667,1;"});
    tab.Button19Click();
    QTest::mouseClick(control<QLabel>(tab, "maplabel"), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].host(), "maps.google.com");
    EXPECT_EQ(opened[0].path(), "/maps");
    EXPECT_EQ(opened[0].query(QUrl::FullyEncoded),
        "f=q&source=s_q&hl=ru&geocode=&q=55+09.12336+N,61+23.45664+E");

    control<QLineEdit>(tab, "CoorLine")->setText("maps.google.com/maps?q=55+10.00000+N,61+24.00000+E");
    tab.maplabelClick();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].toString(), "http://maps.google.com/maps?q=55+10.00000+N,61+24.00000+E");

    for (const char* text : {"/usr/bin/xterm", "file:///etc/passwd", "javascript:alert(1)", "   "}) {
        control<QLineEdit>(tab, "CoorLine")->setText(QString::fromLatin1(text));
        tab.maplabelClick();
    }
    EXPECT_EQ(opened.size(), 2);
}

// With no browser set up the map link is shown, selectable, to be copied.
TEST_F(GnssTabTest, MapLinkTheDesktopCannotOpenIsShownToCopy)
{
    tab.setUrlOpener([](const QUrl&) { return false; });
    tab.show();
    control<QLineEdit>(tab, "CoorLine")->setText("http://maps.google.com/maps?q=55+10.00000+N,61+24.00000+E");
    tab.maplabelClick();
    QApplication::processEvents();
    auto* message = tab.findChild<QMessageBox*>("LinkMessage");
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_TRUE(message->text().endsWith("http://maps.google.com/maps?q=55+10.00000+N,61+24.00000+E"))
        << message->text().toStdString();
    const auto* text = message->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    saveScreenshot(*message, "gnss-map-link-to-copy.png");
    message->close();
}

// The default simulated tracker: antenna, receiver and clock in virtual time.
// Texts do not depend on the locale.
TEST(GnssTabSimulated, QueriesAgainstTheDefaultScenario)
{
    for (const QLocale& locale : {QLocale::c(), gnss::test::russian()}) {
        SCOPED_TRACE(locale.name().toStdString());
        ScopedLocale scoped(locale);
        gnss::test::SimBench bench;
        GnssTab tab(bench.context);
            tab.Button18Click();
        tab.Button20Click();
        bench.time.advanceMs(1000);
        tab.Button19Click();
        tab.GETTIMERClick();

        EXPECT_EQ(control<QLabel>(tab, "Label139")->text(), "Антенна нормально подключена");
        const int reading = control<QLabel>(tab, "Panel24")->text().toInt();
        EXPECT_TRUE(reading >= 960 && reading <= 980) << reading;
        EXPECT_TRUE(control<QLabel>(tab, "Image8")->isHidden() && control<QLabel>(tab, "Image9")->isHidden());
        EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "A");
        EXPECT_EQ(control<QLabel>(tab, "LabelSource")->text(), "GPS приемник");
        // 9 December 2026: the four-bit year of the fix rolled over to 2010.
        EXPECT_EQ(control<QLineEdit>(tab, "DateLabel")->text(), "09.12.2010");
        EXPECT_TRUE(control<QLineEdit>(tab, "TimeLabel")->text().startsWith("12:00:0")) << control<QLineEdit>(tab, "TimeLabel")->text().toStdString();
        EXPECT_TRUE(control<QLineEdit>(tab, "LatLabel")->text().startsWith("55 09,1")) << control<QLineEdit>(tab, "LatLabel")->text().toStdString();
        EXPECT_TRUE(control<QLineEdit>(tab, "LonLabel")->text().startsWith("61 23,4")) << control<QLineEdit>(tab, "LonLabel")->text().toStdString();
        EXPECT_TRUE(control<QLineEdit>(tab, "CoorLine")->text().startsWith("https://maps.google.com/maps?f=q&source=s_q&hl=ru&geocode=&q=55+09.1"));
        EXPECT_TRUE(control<QLineEdit>(tab, "READEDTIME")->text().startsWith("09.12.2026 12:00:0")) << control<QLineEdit>(tab, "READEDTIME")->text().toStdString();
        EXPECT_TRUE(control<QLineEdit>(tab, "READEDTIME")->text().endsWith(" GMT"));

        if (locale != QLocale::c()) {
            tab.resize(777, 421);
            saveScreenshot(tab, "gnss_tab.png");
        }
    }
}

TEST(GnssTabSimulated, SwitchedOffReceiverComesUpAfterStarting)
{
    sim::Scenario scenario = sim::defaultScenario();
    scenario.gnss.receiverOn = false;
    scenario.gnss.acquireMs = 20000;
    scenario.gnss.clockOffsetS = -3600;
    gnss::test::SimBench bench(scenario, gnss::test::kMarch2011Ms);
    ScopedLocale russian(gnss::test::russian());
    GnssTab tab(bench.context);

    tab.Button18Click();
    EXPECT_EQ(control<QLabel>(tab, "Panel24")->text(), "1023");
    EXPECT_EQ(control<QLabel>(tab, "Label139")->text(), "Возможно, модуль GPS не включен");
    EXPECT_FALSE(control<QLabel>(tab, "Image8")->isHidden());
    tab.Button19Click();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "POINT=0,0,0,1;\r\n");
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "V");

    // Started: time at once, the place after the receiver's first fix.
    tab.Button20Click();
    tab.Button19Click();
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "V");
    EXPECT_EQ(control<QLineEdit>(tab, "DateLabel")->text(), "15.03.2011");
    EXPECT_EQ(control<QLineEdit>(tab, "LatLabel")->text(), "00 00,00000 N");
    bench.time.advanceMs(20000);
    tab.Button19Click();
    EXPECT_EQ(control<QLabel>(tab, "LabelAV")->text(), "A");
    EXPECT_EQ(control<QLineEdit>(tab, "TimeLabel")->text(), "12:35:18");
    tab.Button18Click();
    EXPECT_EQ(control<QLabel>(tab, "Label139")->text(), "Антенна нормально подключена");

    // The clock runs an hour behind until it is set.
    tab.GETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "15.03.2011 11:35:18 GMT");
    tab.SETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "15.03.2011 12:35:18 GMT");
    ASSERT_EQ(bench.log.modem.size(), 2u);
    EXPECT_EQ(bench.log.modem[0], ">TIMER=24:53:18:3:21:3:17;");
    bench.time.advanceMs(60000);
    tab.GETTIMERClick();
    EXPECT_EQ(control<QLineEdit>(tab, "READEDTIME")->text(), "15.03.2011 12:36:18 GMT");
}

}  // namespace
}  // namespace ktx
