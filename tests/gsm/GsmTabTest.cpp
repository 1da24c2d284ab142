// The GSM/GPRS tab in the window against the simulated tracker, in virtual
// time: the settings read at identification, the step tests going green.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "app/ui/TKorvantixtest.h"
#include "widgets/ShapeWidget.h"
#include "widgets/DeviceActions.h"
#include "gsm/ui/GsmTab.h"
#include "gsm/sim/ModemModule.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "support/WindowTabs.h"

namespace ktx {
namespace {

struct GsmWindowTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<TKorvantixtest>(sim, time, dir.path().toStdString());
        window->show();
        QApplication::processEvents();  // the posted identification runs
    }

    template <class T>
    T* c(const char* name)
    {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        if (!control)
            ADD_FAILURE() << "no control " << name;
        return control;
    }
    ShapeWidget* shape(int mode) { return window->findChild<ShapeWidget*>(QStringLiteral("Mode%1").arg(mode)); }
    bool green(int mode)
    {
        return shape(mode)->brushColor() == QColor(0, 128, 0) && shape(mode)->brushStyle() == Qt::DiagCrossPattern;
    }
    bool red(int mode) { return shape(mode)->brushColor() == QColor(255, 0, 0) && shape(mode)->brushStyle() == Qt::SolidPattern; }
    QString settingsFile()
    {
        QFile file(QString::fromStdString(window->settingsPath()));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver sim{time, sim::defaultScenario()};
    std::unique_ptr<TKorvantixtest> window;
};

// The window starts on the first tab: the GSM tab is built for the read.
TEST_F(GsmWindowTest, IdentificationReadsTheTrackersSettingsAndExitSavesThem)
{
    EXPECT_EQ(c<QLineEdit>("PIN")->text(), "1234");
    EXPECT_EQ(c<QLineEdit>("apnapn")->text(), "internet.korvantix.example");
    window.reset();  // the window writes its settings file as it goes
    QFile file(dir.filePath("Korvantix_control.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString ini = QString::fromLocal8Bit(file.readAll());
    for (const char* line : {"PIN=1234", "apnapn=internet.korvantix.example", "apnusr=gprs", "apnpwd=gprs",
                             "ip=192.0.2.47", "Port=5050", "ReadGSMAuto=1"})
        EXPECT_TRUE(ini.contains(QString::fromLatin1(line))) << line << "\n" << ini.toStdString();
}

TEST_F(GsmWindowTest, EveryStepGoesGreenAgainstTheDefaultTrackerAndDisconnectLeavesServerRed)
{
    auto* pages = c<QTabWidget>("PageControl1");
    pages->setCurrentWidget(c<QWidget>("TabSheet2"));
    ASSERT_TRUE(pages->isTabEnabled(1));
    c<QLineEdit>("telnum")->setText("+70001234567");
    c<QLineEdit>("sms")->setText("GSMSTATUS;$");
    c<QTimer>("Timer1")->start();

    const int64_t startUs = time.monotonicUs();
    for (const char* button : {"Button1", "Button2", "Button4", "Button5", "Button6", "Button7", "Button8", "Button10",
                               "Button11"})
        c<QPushButton>(button)->click();
    for (int mode : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11})
        EXPECT_TRUE(green(mode)) << "Mode" << mode;
    // The status poll is paused beside the GSM tab, not stopped: it goes on
    // once another tab is chosen.
    EXPECT_TRUE(c<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(window->deviceActions().pollsPaused());
    EXPECT_GT(time.monotonicUs() - startUs, 60'000'000);  // over a minute of modem waits, in virtual time

    c<QPushButton>("Button9")->click();
    EXPECT_TRUE(red(8));
    const QString console = c<QPlainTextEdit>("GSMMemo")->toPlainText();
    EXPECT_TRUE(console.contains(QStringLiteral("Соединение закрыто")));
    EXPECT_TRUE(console.contains(QStringLiteral("GPRS Подключен, IP адрес устройства : 10.64.12.7")));

    ktx::test::saveScreenshot(*window, "gsm_tab.png");

    // Power-off paints every shape red again.
    c<QPushButton>("Button13")->click();
    for (int mode : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11})
        EXPECT_TRUE(red(mode)) << "Mode" << mode;
}

TEST_F(GsmWindowTest, SecondSimSlotAndTheHiddenButtons)
{
    c<QComboBox>("SIMComboBox")->setCurrentIndex(1);
    EXPECT_EQ(c<QComboBox>("SIMComboBox")->itemText(1), QStringLiteral("2 - Резевная, вторая, верхняя"));
    c<QPushButton>("Button1")->click();
    EXPECT_TRUE(green(1));
    for (const char* hidden : {"Button25", "ButtonSound", "Button22"})
        EXPECT_TRUE(c<QPushButton>(hidden)->isHidden()) << hidden;
    EXPECT_EQ(c<QLineEdit>("ATTimeOut")->text(), "1000");
    EXPECT_TRUE(c<QPlainTextEdit>("GSMMemo")->toPlainText().contains(QStringLiteral("Питание включено: WORKGSM=1;")));
}

// The TELIT tab's power-off switches the tracker's modem off inside an
// action of its own, with the device that action's work was given, and the
// GSM tab paints its shapes as after its own power-off.
TEST_F(GsmWindowTest, TelitPowerOffSwitchesTheTrackersModemOffAndTheGsmShapesGoRed)
{
    const sim::ModemModule& modem = *sim.device().module<sim::ModemModule>();
    c<QPushButton>("Button1")->click();
    ASSERT_TRUE(green(1));
    ASSERT_TRUE(modem.powered());

    test::telitTab(*window)->findChild<QPushButton*>("Button28")->click();
    EXPECT_FALSE(modem.powered());
    EXPECT_TRUE(red(1));
    EXPECT_TRUE(c<QPlainTextEdit>("GSMMemo")->toPlainText().contains(QStringLiteral("Питание отключено: WORKGSM=0;")));
}

}  // namespace
}  // namespace ktx

namespace ktx {
namespace {

// Every caption of the tab is whole at the tab's font: nothing clipped.
TEST_F(GsmWindowTest, CaptionsFitTheirControls)
{
    auto* tab = c<QWidget>("TabSheet2");
    for (auto* button : tab->findChildren<QPushButton*>()) {
        const int text = button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_LE(text + 8, button->width()) << button->objectName().toStdString();
    }
    for (auto* label : tab->findChildren<QLabel*>()) {
        const int text = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(text, label->width()) << label->objectName().toStdString();
    }
    auto* combo = c<QComboBox>("SIMComboBox");
    for (int i = 0; i < combo->count(); ++i)
        EXPECT_LE(combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + 28, combo->width()) << i;
    for (auto* group : tab->findChildren<QGroupBox*>())
        EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 10, group->width())
            << group->objectName().toStdString();
    auto* box = c<QCheckBox>("ReadGSMAuto");
    EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()) + 24, box->width());
}

}  // namespace
}  // namespace ktx

#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"
#include "support/Widgets.h"

namespace ktx {
namespace {

// A clock whose first long sleep lets something happen meanwhile, as the
// window's event loop does while a modem test waits.
struct PumpingTime : VirtualTimeSource {
    std::function<void()> meanwhile;
    void sleepMs(uint32_t ms) override
    {
        if (ms >= 1000 && meanwhile)
            std::exchange(meanwhile, nullptr)();
        VirtualTimeSource::sleepMs(ms);
    }
};

TEST(GsmTabAloneTest, ClicksDuringAStepWaitTheirTurnAndTheRunningStepsButtonIsGreyed)
{
    PumpingTime time;
    test::ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    DeviceActions actions(DeviceActions::Mode::Inline);
    context.actions = &actions;
    GsmTab tab(context);
    auto* pinStatus = tab.findChild<QPushButton*>(QStringLiteral("Button2"));
    auto* registration = tab.findChild<QPushButton*>(QStringLiteral("Button5"));
    bool greyedMeanwhile = false;
    int opensMeanwhile = 0;
    time.meanwhile = [&] {
        greyedMeanwhile = !pinStatus->isEnabled();
        tab.Button2Click();  // the second click of a double click
        tab.Button5Click();
        tab.Button2Click();  // refused again: its first run has not ended
        tab.Button5Click();  // already waiting
        EXPECT_FALSE(registration->isEnabled());
        opensMeanwhile = driver.countCalls("FT_Open");
    };
    tab.Button2Click();  // waits 1100 ms for the PIN status
    EXPECT_TRUE(greyedMeanwhile);
    EXPECT_TRUE(pinStatus->isEnabled());
    EXPECT_TRUE(registration->isEnabled());
    // Nothing started inside the PIN status; afterwards one registration,
    // and no second PIN status.
    EXPECT_EQ(opensMeanwhile, 1);
    EXPECT_EQ(driver.countCalls("FT_Open"), 2);
    EXPECT_EQ(driver.countCalls("FT_Close"), 2);
}

}  // namespace
}  // namespace ktx
