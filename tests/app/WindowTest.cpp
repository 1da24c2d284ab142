// The main window: layout, timers, tab-change rules, keys, settings at show
// and close, the posted identification, exceptions, the About links.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Version.h"
#include "app/ui/AboutTab.h"
#include "app/ui/ConsoleApplication.h"
#include "widgets/DeviceActions.h"
#include "widgets/LinkLabelHover.h"
#include "app/ui/TKorvantixtest.h"
#include "can/ui/CanTab.h"
#include "gnss/ui/GnssTab.h"
#include "gsm/ui/GsmTab.h"
#include "onewire/ui/OneWireTab.h"
#include "rs485/ui/Rs485Tab.h"
#include "base/TextCodec.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "support/ScriptedDriver.h"
#include "support/WindowTabs.h"

namespace ktx {
namespace {

using test::ScriptedDriver;

const QString kCaption = QStringLiteral("Корвантикс контроль " KTX_VERSION);

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    }

    void show()
    {
        window->show();
        QApplication::processEvents();
    }

    // Tabs are built when first shown; the tests reach into all of them.
    template <class T>
    T* child(const char* name)
    {
        window->buildAllTabs();
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool checked(const char* name) { return child<QCheckBox>(name)->isChecked(); }
    bool running(const char* name) { return child<QTimer>(name)->isActive(); }
    QTabWidget* pages() { return child<QTabWidget>("PageControl1"); }
    void selectTab(const char* name) { pages()->setCurrentWidget(child<QWidget>(name)); }
    QString settingsText()
    {
        QFile file(QString::fromStdString(window->settingsPath()));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Every tab's title whole on the bar with nothing scrolled, and every
    // button of the tool row whole beside them, inside the window.
    void expectWholeTitlesBesideTheToolRow()
    {
        QTabBar* bar = pages()->tabBar();
        const QRect barRect(bar->mapTo(window.get(), QPoint(0, 0)), bar->size());
        EXPECT_TRUE(window->rect().contains(barRect));
        QRect titles;
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i).translated(barRect.topLeft());
            EXPECT_TRUE(barRect.contains(tab)) << i << ": scrolled or cut";
            EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i))) << i << ": elided";
            titles |= tab;
        }
        for (QToolButton* arrow : bar->findChildren<QToolButton*>())
            EXPECT_FALSE(arrow->isVisible()) << "scroll arrows";
        auto* row = child<QWidget>("ToolRow");
        const QRect rowRect(row->mapTo(window.get(), QPoint(0, 0)), row->size());
        EXPECT_FALSE(rowRect.intersects(titles));
        EXPECT_TRUE(window->rect().contains(rowRect));
        const auto buttons = row->findChildren<QPushButton*>();
        ASSERT_GE(buttons.size(), 2);
        for (QPushButton* button : buttons) {
            EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString();
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                << button->objectName().toStdString();
            EXPECT_TRUE(rowRect.contains(QRect(button->mapTo(window.get(), QPoint(0, 0)), button->size())));
        }
    }

    QTemporaryDir dir;
    VirtualTimeSource time;
    ScriptedDriver driver{&time};
    std::unique_ptr<TKorvantixtest> window;
};

// The designed pages, in order: an area added later may stand among them.
const std::pair<std::string, QString> kDesignedPages[] = {
    {"TabSheet1", QStringLiteral("Входы и выходы")}, {"TabSheet2", QStringLiteral("GSM/GPRS")},
    {"TabSheet7", QStringLiteral("GPS/ГЛОНАСС")},    {"TabSheet6", QStringLiteral("1WIRE")},
    {"TabSheet4", QStringLiteral("485/LLS")},        {"TabSheet5", QStringLiteral("CAN")},
    {"TabSheet9", QStringLiteral("Акселерометр")},   {"TabSheet8", QStringLiteral("TELIT")},
    {"TabSheet3", QStringLiteral("О программе")},
};

TEST_F(WindowTest, FixedWindowWithItsTabsInOrder)
{
    show();
    EXPECT_EQ(window->objectName(), "Korvantixtest");
    EXPECT_EQ(window->windowTitle(), kCaption);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    // Centred on the screen; one wider than the screen keeps its left edge on it.
    const QRect screen = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    EXPECT_EQ(frame.center().y(), screen.center().y());
    if (frame.width() <= screen.width())
        EXPECT_EQ(frame.center().x(), screen.center().x());
    else
        EXPECT_EQ(frame.left(), screen.left());

    // Each area's page as it registered it, in the build's order, About last.
    ASSERT_EQ(pages()->count(), int(std::size(test::kAreaTabs)) + 1);
    std::vector<std::pair<std::string, QString>> shown;
    for (int i = 0; i < pages()->count(); ++i) {
        shown.emplace_back(pages()->widget(i)->objectName().toStdString(), pages()->tabText(i));
        if (i < int(std::size(test::kAreaTabs))) {
            EXPECT_EQ(shown.back().first, test::kAreaTabs[i]->pageName);
            EXPECT_EQ(shown.back().second, QString::fromUtf8(test::kAreaTabs[i]->title));
        }
        // Every caption fits its tab at the window's font.
        EXPECT_LE(pages()->fontMetrics().horizontalAdvance(shown.back().second), pages()->tabBar()->tabRect(i).width())
            << shown.back().first;
    }
    EXPECT_EQ(shown.back(), kDesignedPages[std::size(kDesignedPages) - 1]);
    std::vector<std::pair<std::string, QString>> designedShown;
    for (const auto& page : shown) {
        EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [&](const auto& other) { return other.first == page.first; }), 1)
            << page.first << " named twice";
        if (std::find_if(std::begin(kDesignedPages), std::end(kDesignedPages),
                [&](const auto& designed) { return designed.first == page.first; }) != std::end(kDesignedPages))
            designedShown.push_back(page);
    }
    EXPECT_EQ(designedShown, std::vector(std::begin(kDesignedPages), std::end(kDesignedPages)));
    // The designed pages alone keep the designed size; more widen the window only.
    EXPECT_EQ(window->height(), 449);
    if (shown == designedShown)
        EXPECT_EQ(window->width(), 785);
    else
        EXPECT_GE(window->width(), 785);
    EXPECT_EQ(pages()->geometry(), window->rect());
    EXPECT_EQ(pages()->currentIndex(), 0);
}

// At the window's one size every title is whole with nothing scrolled, and
// the tool row beside them has room for a second button.
TEST_F(WindowTest, WholeTabTitlesBesideTheToolRow)
{
    if (!window->findChild<QPushButton*>(QStringLiteral("HistoryButton")))
        window->addToolButton(QStringLiteral("История"), QStringLiteral("HistoryButton"));
    show();
    expectWholeTitlesBesideTheToolRow();
    EXPECT_NE(child<QWidget>("ToolRow")->findChild<QPushButton*>(QStringLiteral("ProtocolButton")), nullptr);
}

// Titles and buttons that need more than the designed width widen the
// window, still of one fixed size, rather than cut or scroll a title.
TEST_F(WindowTest, TheWindowWidensToTitlesAndButtonsThatNeedMore)
{
    const int designed = window->width();
    const QString wide = QStringLiteral("Кнопка с очень длинной надписью, шире свободного места");
    window->addToolButton(wide, QStringLiteral("WideButton"));
    show();
    EXPECT_GT(window->width(), designed);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->height(), 449);
    EXPECT_EQ(pages()->geometry(), window->rect());
    expectWholeTitlesBesideTheToolRow();
}

TEST_F(WindowTest, SevenTimersWithTheirIntervalsAllStopped)
{
    show();
    const std::pair<const char*, int> timers[] = {{"Timer1", 200},  {"Timer2", 125},  {"Timer3", 250},
                                                  {"Timer4", 1000}, {"Timer5", 1000}, {"Timer6", 10000},
                                                  {"TimerAccel", 100}};
    for (const auto& [name, interval] : timers) {
        EXPECT_EQ(child<QTimer>(name)->interval(), interval) << name;
        EXPECT_FALSE(running(name)) << name;
    }
    // Every tab's own timers too, as its area registered them.
    for (const TabRegistration* registration : test::kAreaTabs)
        for (const TabTimer& timer : registration->timers) {
            EXPECT_EQ(child<QTimer>(timer.name)->interval(), timer.intervalMs) << timer.name;
            EXPECT_FALSE(running(timer.name)) << timer.name;
        }
}

// While the GSM tab is shown its modem steps have the tracker alone: every
// poll's tick is dropped, while its box and timer stay as the user left them,
// and the polls go on by themselves once another tab is chosen.
TEST_F(WindowTest, GsmTabPausesThePollsAndLeavingItResumesThem)
{
    show();
    for (const char* box : {"WorkBox", "CheckBox1", "CheckBox2"})
        child<QCheckBox>(box)->setChecked(true);
    const char* const timers[] = {"Timer1", "Timer6", "Timer2", "Timer3"};
    auto tick = [this](const char* timer) {
        const int opens = driver.countCalls("FT_Open");
        EXPECT_TRUE(QMetaObject::invokeMethod(child<QTimer>(timer), "timeout"));
        QApplication::processEvents();
        return driver.countCalls("FT_Open") - opens;
    };
    selectTab("TabSheet2");
    EXPECT_TRUE(window->deviceActions().pollsPaused());
    for (const char* box : {"WorkBox", "CheckBox1", "CheckBox2"})
        EXPECT_TRUE(checked(box)) << box;
    for (const char* timer : timers)
        EXPECT_TRUE(running(timer)) << timer;
    for (const char* timer : {"Timer1", "Timer2", "Timer3"})
        EXPECT_EQ(tick(timer), 0) << timer << " polled beside the GSM tab";

    selectTab("TabSheet5");
    EXPECT_FALSE(window->deviceActions().pollsPaused());
    for (const char* timer : timers)
        EXPECT_TRUE(running(timer)) << timer;
}

TEST_F(WindowTest, OtherTabsLeaveThePollsRunning)
{
    show();
    child<QCheckBox>("CheckBox1")->setChecked(true);
    selectTab("TabSheet5");
    selectTab("TabSheet3");
    EXPECT_TRUE(checked("CheckBox1"));
    EXPECT_TRUE(running("Timer2"));
    child<QCheckBox>("CheckBox1")->setChecked(false);
}

TEST_F(WindowTest, LeavingTheAccelerometerTabStopsItsPoll)
{
    show();
    selectTab("TabSheet9");
    auto* button = child<QPushButton>("ButtonStartAxel");
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(running("TimerAccel"));
    EXPECT_EQ(button->text(), QStringLiteral("Остановить проверку"));

    selectTab("TabSheet3");
    EXPECT_FALSE(running("TimerAccel"));
    EXPECT_EQ(button->text(), QStringLiteral("Начать проверку"));
}

// Z, Я and F11 switch output 1 only while the window itself has the focus;
// Esc is the "Старт" button's key except in an edit and beside the GSM tab,
// which has stopped every poll to have the channel alone. Each key goes to
// the focused control first, as a real key press does.
TEST_F(WindowTest, WindowKeysActOnlyWhereTheWindowHasThem)
{
    show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    constexpr int kYa = 0x042F;  // Z under a Russian layout
    struct Case {
        const char* what;
        const char* tab;
        const char* focus;  // null: the window itself
        int key;
        bool switchesOutput;
        bool togglesStatusTest;
    };
    const Case cases[] = {
        {"Z, window", "TabSheet1", nullptr, Qt::Key_Z, true, false},
        {"Я, window", "TabSheet1", nullptr, kYa, true, false},
        {"F11, window", "TabSheet1", nullptr, Qt::Key_F11, true, false},
        {"Esc, window", "TabSheet1", nullptr, Qt::Key_Escape, false, true},
        {"Esc on a button", "TabSheet1", "Program", Qt::Key_Escape, false, true},
        {"Esc in an edit", "TabSheet1", "Edit1", Qt::Key_Escape, false, false},
        {"F11 in an edit", "TabSheet1", "Edit1", Qt::Key_F11, false, false},
        {"Z on a check box", "TabSheet1", "OutBox", Qt::Key_Z, false, false},
        {"Я on a check box", "TabSheet1", "OutBox", kYa, false, false},
        {"F11 on a button", "TabSheet1", "Program", Qt::Key_F11, false, false},
        {"Esc in an edit of another tab", "TabSheet7", "CoorLine", Qt::Key_Escape, false, false},
        {"Esc, window, GSM tab", "TabSheet2", nullptr, Qt::Key_Escape, false, false},
        {"Esc on a GSM button", "TabSheet2", "Button1", Qt::Key_Escape, false, false},
        {"Z, window, GSM tab", "TabSheet2", nullptr, Qt::Key_Z, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        selectTab(c.tab);
        QWidget* focus = c.focus ? child<QWidget>(c.focus) : window.get();
        ASSERT_NE(focus, nullptr);
        focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), focus);
        const bool outBefore = checked("OutBox");
        const bool workBefore = checked("WorkBox");
        // QTest only types ASCII keys; the Cyrillic one is sent as the event.
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, QString(QChar(char16_t(c.key))));
        QApplication::sendEvent(focus, &press);
        EXPECT_EQ(checked("OutBox") != outBefore, c.switchesOutput);
        EXPECT_EQ(checked("WorkBox") != workBefore, c.togglesStatusTest);
        child<QCheckBox>("WorkBox")->setChecked(false);
    }
    // Ctrl+Tab from a control on a tab goes to the next tab, and back.
    selectTab("TabSheet1");
    child<QWidget>("Program")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages()->currentIndex(), 1);
    child<QWidget>("Button1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pages()->currentIndex(), 0);
    // An edit that takes the key keeps it.
    selectTab("TabSheet2");
    auto* pin = child<QLineEdit>("PIN");
    pin->setFocus();
    const bool outBefore = checked("OutBox");
    QTest::keyClick(pin, Qt::Key_Z);
    EXPECT_EQ(pin->text(), "z");
    EXPECT_EQ(checked("OutBox"), outBefore);
}

TEST_F(WindowTest, FirstStartWithoutSettingsFileShowsDefaults)
{
    show();
    EXPECT_FALSE(checked("AutoCheckBox"));
    EXPECT_TRUE(checked("ReadGSMAuto"));
    for (const char* edit : {"PIN", "apnapn", "apnusr", "apnpwd", "ip", "Port", "telnum", "sms"})
        EXPECT_EQ(child<QLineEdit>(edit)->text(), "") << edit;
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(child<QLineEdit>(qPrintable(QStringLiteral("LLSAddr%1").arg(i)))->text(), QString::number(i));
}

TEST_F(WindowTest, SettingsAreReadAtShowAndWrittenAtClose)
{
    {
        QFile file(dir.filePath("Korvantix_control.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[CONFIG]\r\nAutoStart=5\r\n[GSM]\r\nPIN=1234\r\nReadGSMAuto=0\r\n[485]\r\nLLSAddr3=\r\n");
    }
    show();
    EXPECT_TRUE(checked("AutoCheckBox"));
    EXPECT_FALSE(checked("ReadGSMAuto"));
    EXPECT_EQ(child<QLineEdit>("PIN")->text(), "1234");
    EXPECT_EQ(child<QLineEdit>("LLSAddr3")->text(), "");
    EXPECT_EQ(child<QLineEdit>("LLSAddr4")->text(), "4");

    child<QLineEdit>("apnapn")->setText(QStringLiteral("internet.тест"));
    child<QLineEdit>("LLSAddr8")->setText("42");
    window->close();
    const QString written = settingsText();
    EXPECT_TRUE(written.contains("PIN=1234")) << written.toStdString();
    EXPECT_TRUE(written.contains("LLSAddr8=42"));
    EXPECT_TRUE(written.contains("LLSAddr3=\r\n"));

    // A new window reads back what the last one wrote.
    window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    show();
    EXPECT_EQ(child<QLineEdit>("apnapn")->text(), QStringLiteral("internet.тест"));
    EXPECT_EQ(child<QLineEdit>("LLSAddr8")->text(), "42");
}

TEST_F(WindowTest, HiddenButton29SavesTheSettings)
{
    show();
    child<QLineEdit>("sms")->setText("STATUS");
    child<QPushButton>("Button29")->click();
    EXPECT_TRUE(settingsText().contains("sms=STATUS"));
}

TEST_F(WindowTest, AWindowNeverShownLeavesTheSettingsFileAlone)
{
    window.reset();
    EXPECT_FALSE(QFile::exists(dir.filePath("Korvantix_control.ini")));
}

// The GSM and 485 tabs are built only when opened: what the file holds for
// them goes back into it unchanged, foreign sections too.
TEST_F(WindowTest, SettingsOfTabsNeverOpenedAreWrittenBackUnchanged)
{
    const std::string gsmAndLls = "[GSM]\r\nPIN=1234\r\napnapn=internet.тест\r\napnusr=user\r\napnpwd=secret\r\n"
                                 "ip=192.0.2.1\r\nPort=5050\r\ntelnum=+70001234567\r\nsms=STATUS\r\nReadGSMAuto=0\r\n"
                                 "[485]\r\nLLSAddr1=9\r\nLLSAddr2=\r\nLLSAddr3=3\r\nLLSAddr4=4\r\n"
                                 "LLSAddr5=5\r\nLLSAddr6=6\r\nLLSAddr7=7\r\nLLSAddr8=200\r\n";
    {
        QFile file(dir.filePath("Korvantix_control.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(cp1251FromUtf8("[CONFIG]\r\nAutoStart=0\r\n" + gsmAndLls
                                                            + "[Foreign]\r\nKey=kept\r\n")));
    }
    // Identified, with ReadGSMAuto off in the file: nothing opens the GSM tab.
    driver.setDevices({{"Korvantix", "1234567"}});
    driver.onCommand("FL_READ_VERSION$", {"SUMI-5.7ab"});
    show();
    QApplication::processEvents();
    EXPECT_EQ(window->findChild<QLabel*>("SerPanel")->text(), "1234567");
    for (int tab : {test::kGsmPage, test::kRs485Page, test::kCanPage, test::kAboutPage})
        EXPECT_FALSE(window->isTabBuilt(tab)) << tab;
    window->close();

    // The file is Windows-1251, as it always was.
    QFile file(QString::fromStdString(window->settingsPath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string written = utf8FromCp1251(file.readAll().toStdString());
    for (const QString& line : QString::fromStdString(gsmAndLls).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        EXPECT_NE(written.find(line.toStdString() + "\r\n"), std::string::npos) << line.toStdString() << "\n" << written;
    EXPECT_NE(written.find("[Foreign]\r\nKey=kept"), std::string::npos) << written;

    // Opened in a later run, the tab shows them.
    window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    show();
    selectTab("TabSheet2");
    EXPECT_EQ(child<QLineEdit>("apnapn")->text(), QStringLiteral("internet.тест"));
    EXPECT_FALSE(checked("ReadGSMAuto"));
    EXPECT_EQ(child<QLineEdit>("LLSAddr8")->text(), "200");
}

// A file as the console writes it goes back byte for byte, whether its tabs
// were opened (each writes its own section) or not (the window keeps what
// was read), with foreign sections and the window's own keys in place.
TEST_F(WindowTest, ASettingsFileRoundTripsByteForByteThroughTheWindow)
{
    const std::string utf8 = "[CONFIG]\r\nAutoStart=1\r\n\r\n"
                             "[GSM]\r\nPIN=1234\r\napnapn=internet.тест\r\napnusr=user\r\napnpwd=\r\nip=192.0.2.1\r\n"
                             "Port=5050\r\ntelnum=+70001234567\r\nsms=Статус\r\nReadGSMAuto=0\r\n\r\n"
                             "[485]\r\nLLSAddr1=9\r\nLLSAddr2=\r\nLLSAddr3=3\r\nLLSAddr4=4\r\nLLSAddr5=5\r\n"
                             "LLSAddr6=6\r\nLLSAddr7=7\r\nLLSAddr8=200\r\n\r\n"
                             "[Foreign]\r\nKey=kept\r\n\r\n"
                             "[RESULTS]\r\nDatabase=results.sqlite\r\n\r\n"
                             "[PLOTS]\r\nAccel=0\r\nCan=0\r\nInputs=0\r\nRs485=0\r\n";
    const QByteArray bytes = QByteArray::fromStdString(cp1251FromUtf8(utf8));
    for (const bool openEveryTab : {false, true}) {
        SCOPED_TRACE(openEveryTab ? "every tab opened" : "tabs never opened");
        {
            QFile file(dir.filePath("Korvantix_control.ini"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }
        window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
        show();
        if (openEveryTab)
            window->buildAllTabs();
        window->close();
        QFile file(dir.filePath("Korvantix_control.ini"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(utf8FromCp1251(file.readAll().toStdString()), utf8);
    }
}

// Start-up builds only the first tab; another is built, visible and working,
// the moment it is first chosen.
TEST_F(WindowTest, ATabIsBuiltWhenFirstShown)
{
    show();
    auto* tabs = window->findChild<QTabWidget*>("PageControl1");
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(window->isTabBuilt(test::kInputsPage));
    for (int tab = test::kGsmPage; tab < test::kPageCount; ++tab)
        EXPECT_FALSE(window->isTabBuilt(tab)) << tab;
    EXPECT_EQ(window->findChild<QPushButton*>("ButtonStartAxel"), nullptr);

    tabs->setCurrentIndex(test::kAccelPage);
    EXPECT_TRUE(window->isTabBuilt(test::kAccelPage));
    auto* start = window->findChild<QPushButton*>("ButtonStartAxel");
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->isVisible());
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_TRUE(window->findChild<QTimer*>("TimerAccel")->isActive());
    tabs->setCurrentIndex(test::kInputsPage);
    EXPECT_FALSE(window->findChild<QTimer*>("TimerAccel")->isActive());
}

// A tab first opened after identification gets the rules of the firmware
// found, and the CAN snapshot names the version the tracker gave.
TEST_F(WindowTest, TabsBuiltAfterIdentificationFollowTheFirmware)
{
    driver.setDevices({{"Korvantix", "1234567"}});
    driver.onCommand("FL_READ_VERSION$", {"PENK-5.1xy"});
    window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    show();
    ASSERT_FALSE(window->isTabBuilt(test::kCanPage));
    ASSERT_FALSE(window->isTabBuilt(test::kGnssPage));

    CanTab* can = test::canTab(*window);
    EXPECT_TRUE(can->findChild<QWidget*>("CANGrid")->isHidden());
    // The version is the worker's: the snapshot takes it inside its action.
    can->Button21Click();
    QFile snapshot(dir.filePath("CAN/CAN-1234567.txt"));
    ASSERT_TRUE(snapshot.open(QIODevice::ReadOnly));
    const QByteArray heading = snapshot.readLine();
    EXPECT_TRUE(heading.startsWith("CAN 1234567 (PENK-5.1xy) - ")) << heading.toStdString();
    EXPECT_TRUE(test::gnssTab(*window)->findChild<QWidget*>("Panel20")->isHidden());
    EXPECT_FALSE(test::oneWireTab(*window)->findChild<QWidget*>("GroupBox15")->isEnabled());
    EXPECT_FALSE(pages()->isTabEnabled(test::kCanPage));

    // A newer tracker plugged in later shows them again, built or not.
    driver.onCommand("FL_READ_VERSION$", {"SUMI-5.7ab"});
    window->postDeviceChange();
    QApplication::processEvents();
    EXPECT_FALSE(can->findChild<QWidget*>("CANGrid")->isHidden());
    EXPECT_FALSE(test::rs485Tab(*window)->findChild<QWidget*>("GroupBox5")->isHidden());
    EXPECT_TRUE(pages()->isTabEnabled(test::kCanPage));
}

// Each tab's table names its own controls: a misspelt or moved control would
// silently stay visible on old firmware.
TEST_F(WindowTest, EveryVersionRuleNamesAControlOfItsTab)
{
    for (int page : {test::kGsmPage, test::kGnssPage, test::kOneWirePage, test::kRs485Page, test::kCanPage})
        EXPECT_FALSE(test::kAreaTabs[page]->gatedControls.empty()) << test::kAreaTabs[page]->pageName;
    for (int page = 0; page < int(std::size(test::kAreaTabs)); ++page) {
        QWidget* tab = window->tabWidget(page);
        for (const VersionRule& rule : test::kAreaTabs[page]->gatedControls)
            EXPECT_NE(tab->findChild<QWidget*>(QString::fromLatin1(rule.control)), nullptr)
                << test::kAreaTabs[page]->pageName << ": " << rule.control;
    }
}

TEST_F(WindowTest, ShowWritesGridHeadersResetsCanRecordAndSetsTitles)
{
    show();
    auto cell = [this](const char* grid, int row, int column) {
        QTableWidgetItem* item = child<QTableWidget>(grid)->item(row, column);
        return item ? item->text() : QString();
    };
    EXPECT_EQ(cell("CANGrid", 0, 0) + "|" + cell("CANGrid", 0, 1) + "|" + cell("CANGrid", 0, 2), "ID|Data A|Data B");
    EXPECT_EQ(cell("FuelGrid", 0, 1), QStringLiteral("% бака"));
    EXPECT_EQ(cell("FuelGrid", 0, 2), QStringLiteral("АЦП"));
    EXPECT_EQ(cell("AxisGrid", 0, 0), "ID");
    EXPECT_EQ(cell("WeightGrid", 0, 0), QStringLiteral("Колесо"));
    EXPECT_EQ(cell("WeightGrid", 0, 15), "15");
    EXPECT_EQ(cell("WeightGrid", 15, 0), QStringLiteral("Ось 15"));
    EXPECT_EQ(child<QTableWidget>("WeightGrid")->rowCount(), 16);

    // The monitor's record is the worker's: copied out inside an action.
    CanTab* can = test::canTab(*window);
    can::DecodedRecord decoded{};
    runDeviceAction(window->deviceAccess(), nullptr, window.get(), nullptr,
        [can](AppContext& device) -> can::DecodedRecord { return can->lastDecoded(device); },
        [&decoded](const can::DecodedRecord& record) { decoded = record; });
    for (uint8_t byte : decoded)
        ASSERT_EQ(byte, 0xFF);

    EXPECT_EQ(child<QGroupBox>("GroupBox16")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(child<QLabel>("Label79")->text(), kCaption);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), kCaption);
}

struct VersionCase {
    const char* reply;
    bool gsm, bus, oneWire, antenna, position;
    QColor colour;
};

TEST_F(WindowTest, DeviceTextsAreShownAsPlainText)
{
    driver.setDevices({{"Korvantix", "<b>9</b>"}});
    window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    window->show();
    QApplication::processEvents();
    const QLabel* serial = child<QLabel>("SerPanel");
    EXPECT_EQ(serial->text(), "<b>9</b>");
    EXPECT_EQ(serial->textFormat(), Qt::PlainText);
    EXPECT_EQ(child<QLabel>("VerLabel")->textFormat(), Qt::PlainText);
}

TEST_F(WindowTest, OldFirmwareDoesNotMoveTheUserOffTheirTab)
{
    driver.setDevices({{"Korvantix", "1234567"}});
    driver.onCommand("FL_READ_VERSION$", {"PENK-5.1xy"});
    window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
    window->show();
    selectTab("TabSheet2");
    child<QCheckBox>("CheckBox1")->setChecked(true);
    QApplication::processEvents();  // identification disables the GSM/GPRS tab
    EXPECT_FALSE(pages()->isTabEnabled(1));
    EXPECT_EQ(pages()->currentWidget()->objectName(), "TabSheet2");
    EXPECT_TRUE(checked("CheckBox1"));  // no tab-change handler ran
}

TEST_F(WindowTest, PostedDeviceChangeIdentifiesTheTracker)
{
    const VersionCase cases[] = {
        {"SUMI-5.7ab", true, true, true, true, true, Qt::black},
        {"PENK-5.1xy", false, false, false, false, false, Qt::black},
        {"DRAL-5.12z", true, true, true, true, true, QColor(0, 128, 0)},
        {"QOZT-5.5..", true, true, true, false, false, Qt::black},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.reply);
        driver.setDevices({{"Korvantix", "1234567"}});
        driver.onCommand("FL_READ_VERSION$", {c.reply});
        window = std::make_unique<TKorvantixtest>(driver, time, dir.path().toStdString());
        window->show();
        // Posted, not sent: nothing has happened before the loop runs.
        EXPECT_EQ(child<QLabel>("SerPanel")->text(), "10000");
        QApplication::processEvents();

        EXPECT_EQ(child<QLabel>("SerPanel")->text(), "1234567");
        EXPECT_EQ(child<QLabel>("VerLabel")->text(), c.reply);
        EXPECT_EQ(child<QLabel>("VerLabel")->palette().color(QPalette::WindowText), c.colour);
        EXPECT_EQ(pages()->isTabEnabled(1), c.gsm);
        EXPECT_EQ(pages()->isTabEnabled(4), c.bus);
        EXPECT_EQ(pages()->isTabEnabled(5), c.bus);
        EXPECT_EQ(child<QWidget>("GroupBox4")->isHidden(), !c.gsm);
        EXPECT_EQ(child<QWidget>("GSMMemo")->isHidden(), !c.gsm);
        EXPECT_EQ(child<QWidget>("CANGrid")->isHidden(), !c.bus);
        EXPECT_EQ(child<QWidget>("Button21")->isHidden(), !c.bus);
        EXPECT_EQ(child<QWidget>("GroupBox15")->isEnabled(), c.oneWire);
        EXPECT_EQ(child<QWidget>("Panel20")->isHidden(), !c.antenna);
        EXPECT_EQ(child<QWidget>("Panel22")->isHidden(), !c.position);
        window->close();
    }
}

// One tick of the window's plug check, and the device-change event it posts,
// without waiting for the timer in real time.
void firePlugPoll(TKorvantixtest& window)
{
    auto* timer = window.findChild<QTimer*>("PlugPollTimer");
    ASSERT_NE(timer, nullptr);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
    QApplication::processEvents();
}

TEST_F(WindowTest, PlugChangeRunsIdentificationAgain)
{
    show();
    const int before = driver.countCalls("FT_ListDevices");
    bool changed = true;
    window->watchPlugChanges([&changed] { return std::exchange(changed, false); });
    firePlugPoll(*window);
    EXPECT_EQ(driver.countCalls("FT_ListDevices"), before + 1);
    firePlugPoll(*window);  // no change since: no search
    EXPECT_EQ(driver.countCalls("FT_ListDevices"), before + 1);
}

TEST(SimulatedWindowTest, PluggingTheSimulatedTrackerBackInIdentifiesItAgain)
{
    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator(time, sim::defaultScenario());
    TKorvantixtest window(simulator, time, dir.path().toStdString());
    window.watchPlugChanges([&simulator] { return simulator.pollPlugChange(); });
    window.show();
    QApplication::processEvents();

    auto* debugMemo = window.findChild<QPlainTextEdit*>("DebugMemo");
    ASSERT_NE(debugMemo, nullptr);
    EXPECT_EQ(window.findChild<QLabel*>("SerPanel")->text(), "1234567");
    EXPECT_EQ(window.findChild<QLabel*>("VerLabel")->text(), "SUMI-5.7ab");
    // Version 57 understood: the tabs from 53 on are enabled.
    EXPECT_TRUE(window.findChild<QTabWidget*>("PageControl1")->isTabEnabled(test::kCanPage));
    const QString serialLine = QStringLiteral("Серийный номер 1234567");
    EXPECT_EQ(debugMemo->toPlainText().count(serialLine), 1);

    simulator.setPlugged(false);
    firePlugPoll(window);
    EXPECT_EQ(debugMemo->toPlainText().count(serialLine), 1);
    simulator.setPlugged(true);
    firePlugPoll(window);
    EXPECT_EQ(debugMemo->toPlainText().count(serialLine), 2);
}

class Thrower : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("reply buffer overrun");
        if (event->type() == QEvent::User + 1)
            throw 42;
        ++handled;
        return true;
    }
    int handled = 0;
};

TEST(ConsoleApplicationTest, EscapingExceptionsAreReportedAndDeliveryGoesOn)
{
    QStringList reports;
    ConsoleApplication::setExceptionReporter([&reports](const QString& message) { reports << message; });
    Thrower target;
    auto deliver = [&target](int type) {
        QEvent event(static_cast<QEvent::Type>(type));
        return ConsoleApplication::guarded([&] { return QCoreApplication::sendEvent(&target, &event); });
    };
    EXPECT_FALSE(deliver(QEvent::User));
    EXPECT_FALSE(deliver(QEvent::User + 1));
    EXPECT_TRUE(deliver(QEvent::User + 2));
    ConsoleApplication::setExceptionReporter(nullptr);

    EXPECT_EQ(reports, QStringList({QStringLiteral("reply buffer overrun"), QStringLiteral("Неизвестная ошибка")}));
    EXPECT_EQ(target.handled, 1);
}

// Units are named in Russian everywhere in the window (the logs and the
// record keep theirs).
TEST_F(WindowTest, NoEnglishUnitOnAnyTab)
{
    window->buildAllTabs();
    const QRegularExpression english(QStringLiteral("\\b(rpm|Hz|km/h|sec)\\b"));
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            text = group->title();
        EXPECT_FALSE(english.match(text).hasMatch()) << widget->objectName().toStdString() << ": " << text.toStdString();
    }
}

// The keys the window handles itself are listed on "О программе", whole.
TEST_F(WindowTest, AboutTabListsTheWindowsKeys)
{
    auto* keys = child<QLabel>("KeysLabel");
    for (const char* key : {"Esc", "Z", "Я", "F11", "Ctrl+G"})
        EXPECT_TRUE(keys->text().contains(QString::fromUtf8(key))) << key;
    EXPECT_LE(keys->heightForWidth(keys->width()), keys->height()) << "the list is cut off";
}

TEST_F(WindowTest, AboutLinksOpenTheWebPageAndTheMailForm)
{
    show();
    selectTab("TabSheet3");
    QList<QUrl> opened;
    window->aboutTab()->setUrlOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    for (const char* name : {"Image5", "Image6", "Label90", "Label91"})
        QTest::mouseClick(child<QLabel>(name), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(opened[i], QUrl("https://korvantix.example"));
    EXPECT_EQ(opened[3].scheme(), "mailto");
    EXPECT_EQ(opened[3].path(), "support@korvantix.example");
    EXPECT_EQ(QUrlQuery(opened[3]).queryItemValue("subject", QUrl::FullyDecoded), QStringLiteral("Корвантикс контроль"));
}

// Where no browser or mail program is set up, each link is shown to be
// copied; every click gets its own message.
TEST_F(WindowTest, AboutLinksTheDesktopCannotOpenAreShownToCopy)
{
    show();
    selectTab("TabSheet3");
    int tried = 0;
    window->aboutTab()->setUrlOpener([&tried](const QUrl&) {
        ++tried;
        return false;
    });
    const std::pair<const char*, QString> links[] = {
        {"Label90", QStringLiteral("https://korvantix.example")},
        {"Label91", QStringLiteral("mailto:support@korvantix.example?subject=Корвантикс контроль")},
    };
    for (const auto& [label, link] : links) {
        QTest::mouseClick(child<QLabel>(label), Qt::LeftButton);
        QApplication::processEvents();
        auto* message = window->findChild<QMessageBox*>(QStringLiteral("LinkMessage"));
        ASSERT_NE(message, nullptr) << label;
        EXPECT_TRUE(message->text().endsWith(link)) << message->text().toStdString();
        EXPECT_TRUE(message->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->textInteractionFlags() &
                    Qt::TextSelectableByMouse);
        message->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window->findChild<QMessageBox*>(QStringLiteral("LinkMessage")), nullptr) << "closed and gone";
    }
    EXPECT_EQ(tried, 2);
}

TEST_F(WindowTest, LinkLabelsTurnBlueAndUnderlinedUnderTheMouse)
{
    show();
    auto* label = child<QLabel>("Label90");
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    const QColor link = QApplication::palette().color(QPalette::Link);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), link);

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(label, &enter);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(label->font().underline());
    EXPECT_TRUE(label->font().bold());

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(label, &leave);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), link);
    EXPECT_FALSE(label->font().underline());
    EXPECT_TRUE(label->font().bold());
}

TEST_F(WindowTest, ScreenshotOfEveryTab)
{
    const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    show();
    // Each tab as a user first sees it: built the moment it is chosen.
    auto* tabs = window->findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name = QStringLiteral("%1-%2.png").arg(i + 1, 2, 10, QLatin1Char('0')).arg(tabs->widget(i)->objectName());
        EXPECT_TRUE(window->grab().save(QDir(outDir).filePath(name))) << name.toStdString();
    }
}

}  // namespace
}  // namespace ktx
