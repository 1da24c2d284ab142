#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "FirmwareBuilder.h"
#include "TelitBench.h"
#include "app/ui/Consoles.h"
#include "widgets/DeviceActions.h"
#include "gsm/ModemTests.h"
#include "telit/ui/TelitTab.h"
#include "support/Widgets.h"

namespace ktx::telit::test {
namespace {

// The tab with the window's consoles, on the simulated tracker as the test
// set it up before the first use of tab().
struct TelitTabTest : ::testing::Test {
    UpdateBench bench;
    Consoles consoles{bench.time, bench.dir.path.string()};
    std::array<QTimer, 5> timers;
    DeviceActions actions{DeviceActions::Mode::Inline};

    TelitTab& tab()
    {
        if (!tab_) {
            context_ = std::make_unique<AppContext>(AppContext{bench.context().link, bench.time, consoles, bench.device, &actions});
            tab_ = std::make_unique<TelitTab>(*context_);
            // As the window does: the modem tests' own power-off, with no tab's shapes to paint.
            tab_->switchModemOff = [this](AppContext& device) { gsm::ModemTests(device, noShapes_).powerOff(); };
            consoles.attach(nullptr, nullptr, nullptr, tab_->findChild<QPlainTextEdit*>("TelitMemo"));
            tab_->setWorkDir(bench.dir.path.string());
            tab_->resize(777, 421);
        }
        return *tab_;
    }
    template <typename T>
    T* c(const char* name)
    {
        return tab().findChild<T*>(QString::fromLatin1(name));
    }
    QStringList memoLines() { return c<QPlainTextEdit>("TelitMemo")->toPlainText().split(u'\n'); }

private:
    std::unique_ptr<AppContext> context_;
    struct NoShapes : gsm::ModemView {
        void stopStatusPoll() override {}
        void paintShape(int, bool) override {}
    } noShapes_;
    std::unique_ptr<TelitTab> tab_;
};

TEST_F(TelitTabTest, BrowseCheckAndUpdate)
{
    FirmwareBuilder firmware("LE910C1 25.30.226", "LE910C1-EU");
    firmware.record(erasePayload(100)).record(payloadOf(3000)).record(payloadOf(7)).record(payloadOf(4000));
    firmware.writeTo(bench.dir.path / "good.bin");
    std::ofstream(bench.dir.path / "short.bin", std::ios::binary) << std::string(40, '\1');

    // A cancelled dialog brings back the file chosen last.
    QString offered = QString::fromStdString(bench.dir.file("good.bin"));
    tab().chooseFile = [&] { return offered; };
    QTest::mouseClick(c<QPushButton>("Button26"), Qt::LeftButton);
    EXPECT_EQ(c<QLineEdit>("FirmwarePath")->text(), offered);
    c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file("short.bin")));
    offered.clear();
    tab().Button26Click();
    EXPECT_TRUE(c<QLineEdit>("FirmwarePath")->text().endsWith("good.bin"));

    c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file("short.bin")));
    QTest::mouseClick(c<QPushButton>("Button27"), Qt::LeftButton);
    EXPECT_FALSE(c<QPushButton>("TelitInit")->isEnabled());
    // Each check decides: a good file enables the update, one that can't be
    // opened greys it again.
    const struct {
        const char* file;
        bool enabled;
    } checks[] = {{"good.bin", true}, {"missing.bin", false}, {"good.bin", true}};
    for (const auto& check : checks) {
        c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file(check.file)));
        tab().Button27Click();
        EXPECT_EQ(c<QPushButton>("TelitInit")->isEnabled(), check.enabled) << check.file;
    }
    ASSERT_TRUE(c<QPushButton>("TelitInit")->isEnabled());

    for (QTimer& timer : timers)
        timer.start(1000);
    timers[2].stop();
    // A poll's tick during the update runs nothing; afterwards it polls again.
    int pollsRun = 0;
    auto tick = [&](const QTimer& timer) {
        DeviceActions::Action poll;
        poll.key = &timer;
        poll.work = [&pollsRun] { ++pollsRun; };
        return actions.enqueue(std::move(poll));
    };
    bool polledDuringTheUpdate = false;
    QObject::connect(c<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, [&] {
        for (const QTimer& timer : timers)
            polledDuringTheUpdate |= tick(timer);
    });
    QTest::mouseClick(c<QPushButton>("TelitInit"), Qt::LeftButton);
    EXPECT_FALSE(polledDuringTheUpdate);
    EXPECT_EQ(pollsRun, 0);
    for (size_t i = 0; i < timers.size(); ++i)
        EXPECT_EQ(timers[i].isActive(), i != 2) << "Timer" << i + 1 << ": polls that ran go on after the update";
    EXPECT_TRUE(tick(timers[0]));
    EXPECT_EQ(pollsRun, 1);
    EXPECT_EQ(c<QProgressBar>("ProgressBar1")->maximum(), int(firmware.bytes.size() / 1000));
    EXPECT_EQ(c<QProgressBar>("ProgressBar1")->value(), c<QProgressBar>("ProgressBar1")->maximum());
    EXPECT_EQ(bench.modem().records(), firmware.payloads);
    const QStringList lines = memoLines();
    EXPECT_TRUE(lines.contains("Прошивка LE910C1 25.30.226 для LE910C1-EU"));
    EXPECT_TRUE(lines.contains("Достигнут конец файла, конец перепрошивки:"));
    // Every console line is also in the debug file beside the program.
    const std::string debug = ktx::test::readBytes(bench.dir.path / "telitdebug.txt");
    EXPECT_NE(debug.find(cp1251FromUtf8("Время перепрошивки модема: 0 минут ")), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(bench.dir.path / kBlockDebugFile));

    ktx::test::saveScreenshot(tab(), "telit_tab.png");
}

TEST_F(TelitTabTest, ProgressFollowsTheRecordsAndStopsWhereAFailedUpdateEnded)
{
    bench.scenario.telit.silentBlock = 12;  // 12 full blocks of 580 = 6960 bytes get through
    FirmwareBuilder firmware;
    for (int i = 0; i < 6; ++i)
        firmware.record(payloadOf(2900, uint8_t(i)));
    firmware.writeTo(bench.dir.path / "fw.bin");
    c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file("fw.bin")));
    tab().TelitInitClick();
    // The third record's 2899 were counted before its blocks went out.
    EXPECT_EQ(c<QProgressBar>("ProgressBar1")->value(), 8);
    EXPECT_EQ(memoLines().last(), "Ошибка перепрошивки модема, пожалуйста, повторите попытку");
}

// The update's end powers the modem off inside its own action; the button
// runs the same power-off in an action of its own, the tracker taken as an
// update takes it.
TEST_F(TelitTabTest, UpdateEndAndButtonEachPowerTheModemOffInsideAnAction)
{
    bench.scenario.telit.modemVersion = 0;  // the modem refuses its loading mode
    int powerOffs = 0;
    int exclusive = 0;
    int onTheTabsTracker = 0;
    tab().switchModemOff = [&](AppContext& device) {
        ++powerOffs;
        exclusive += actions.running() && actions.exclusiveActionPending();
        onTheTabsTracker += &device.link == &bench.context().link;
    };
    c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file("missing.bin")));
    tab().TelitInitClick();
    EXPECT_EQ(powerOffs, 0) << "a file that can't be opened powers nothing, so nothing is powered off";
    FirmwareBuilder().record(payloadOf(10)).writeTo(bench.dir.path / "fw.bin");
    c<QLineEdit>("FirmwarePath")->setText(QString::fromStdString(bench.dir.file("fw.bin")));
    tab().TelitInitClick();
    EXPECT_EQ(powerOffs, 1) << "a failed update leaves the modem powered too";
    QTest::mouseClick(c<QPushButton>("Button28"), Qt::LeftButton);
    EXPECT_EQ(powerOffs, 2);
    EXPECT_EQ(exclusive, 2);
    EXPECT_EQ(onTheTabsTracker, 2) << "the power-off goes to the device the action's work was given";
}

TEST_F(TelitTabTest, FileDialogOffersBinFilesAndFillsThePath)
{
    // The dialog keeps its own per-user state: here in the scratch directory.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(bench.dir.path.string()));
    FirmwareBuilder().writeTo(bench.dir.path / "fw.bin");
    const QString path = QString::fromStdString(bench.dir.file("fw.bin"));
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<QFileDialog*>(widget); found && found->isVisible())
                dialog = found;
        if (!dialog)
            return;
        shown = true;
        EXPECT_EQ(dialog->objectName(), "OpenDialog1");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"bin (*.bin)"});
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    tab().Button26Click();
    ASSERT_TRUE(shown);
    EXPECT_EQ(c<QLineEdit>("FirmwarePath")->text(), path);
}

}  // namespace
}  // namespace ktx::telit::test
