// The window's "Протокол" button: the same check on the identified tracker,
// steps in a dialog, the record beside the settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/Settings.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "link/RealTimeSource.h"
#include "link/VirtualTimeSource.h"
#include "results/ResultsStore.h"
#include "gsm/sim/ModemModule.h"
#include "sim/SimDriver.h"
#include "support/SimulatedWindow.h"
#include "support/Widgets.h"

namespace ktx::check::test {
namespace {

TEST(ProtocolAction, RunsTheCheckOnTheIdentifiedTrackerAndKeepsTheRecord)
{
    qputenv("KTX_NO_BROWSER", "1");
    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator(time, sim::defaultScenario());
    TKorvantixtest window(simulator, time, dir.path().toStdString());
    window.show();
    QApplication::processEvents();  // identification
    auto* button = window.findChild<QPushButton*>("ProtocolButton");
    ASSERT_NE(button, nullptr);

    // Once the run has ended (its close button enabled) the dialog is read and closed.
    QStringList rows;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&rows, &closer] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* close = dialog ? dialog->findChild<QPushButton*>("ProtocolClose") : nullptr;
        if (!close || !close->isEnabled())
            return;
        closer.stop();
        auto* list = dialog->findChild<QListWidget*>();
        for (int i = 0; i < list->count(); ++i)
            rows << list->item(i)->text();
        const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
        QDir().mkpath(outDir);
        dialog->grab().save(QDir(outDir).filePath("protocol-dialog.png"));
        dialog->accept();
    });
    closer.start(10);
    button->click();
    // The run is one queued action; its dialog stays open until read.
    ASSERT_TRUE(QTest::qWaitFor([&closer] { return !closer.isActive(); }, 60000));

    // The steps, then what the results database said.
    ASSERT_EQ(rows.size(), 12);
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("[1/11] Опознавание"))) << rows[0].toStdString();
    for (const QString& row : rows.mid(0, 11))
        EXPECT_TRUE(row.contains(QStringLiteral(" пройден "))) << row.toStdString();
    const QString database = dir.filePath("protocols/korvantix-results.sqlite");
    EXPECT_EQ(rows[11], "results: stored in " + database);
    const QStringList records = QDir(dir.filePath("protocols")).entryList({"1234567-*"}, QDir::Files);
    EXPECT_EQ(records.size(), 3) << records.join(' ').toStdString();
    EXPECT_FALSE(simulator.device().module<sim::ModemModule>()->powered());

    // The run is in the database beside the protocols, with its record.
    results::ResultsStore store;
    std::vector<results::HistoryRun> history;
    std::string error;
    ASSERT_TRUE(store.open({results::Engine::Sqlite, database.toStdString()}, error)) << error;
    ASSERT_TRUE(store.history("1234567", history, error)) << error;
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].outcome, "pass");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(history[0].recordFile)).isFile()) << history[0].recordFile;
}

// The protocol dialog open now, if any.
QDialog* protocolDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->findChild<QPushButton*>("ProtocolClose"))
            return dialog;
    }
    return nullptr;
}

QStringList rowsOf(QDialog* dialog)
{
    QStringList rows;
    auto* list = dialog->findChild<QListWidget*>();
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QString labelText(QDialog* dialog, const char* name)
{
    auto* label = dialog->findChild<QLabel*>(name);
    return label ? label->text() : QString("(no label %1)").arg(name);
}

// In virtual time a click on "Протокол" runs the whole check before it returns.
struct ProtocolWindow : ktx::test::SimulatedWindow {
    ~ProtocolWindow()
    {
        if (QDialog* dialog = protocolDialog())
            dialog->reject();
    }
    QPushButton* button() { return window.findChild<QPushButton*>("ProtocolButton"); }
    QStringList records(const QString& serial)
    {
        return QDir(dir.filePath("protocols")).entryList({serial + "-*"}, QDir::Files);
    }
};

// Nothing on this PC opens files: the dialog still says how the check went,
// where the record is, and lets the path be copied.
TEST(ProtocolAction, TheDialogShowsTheVerdictAndTheFolderWhenNothingOpensTheReport)
{
    ProtocolWindow w;
    w.button()->click();
    QDialog* dialog = protocolDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(labelText(dialog, "ProtocolVerdict").contains("ГОДЕН")) << labelText(dialog, "ProtocolVerdict").toStdString();
    const QString folder = QDir(w.dir.filePath("protocols")).absolutePath();
    auto* where = dialog->findChild<QLineEdit*>("ProtocolFolder");
    ASSERT_NE(where, nullptr);
    EXPECT_EQ(where->text(), folder);
    EXPECT_TRUE(where->isVisible() && where->isReadOnly());
    where->selectAll();
    EXPECT_EQ(where->selectedText(), folder) << "the path can be selected and copied";
    EXPECT_TRUE(labelText(dialog, "ProtocolNote").contains("нечем")) << labelText(dialog, "ProtocolNote").toStdString();

    auto* openFolder = dialog->findChild<QPushButton*>("ProtocolOpenFolder");
    ASSERT_NE(openFolder, nullptr);
    ASSERT_TRUE(openFolder->isEnabled());
    openFolder->click();
    EXPECT_TRUE(labelText(dialog, "ProtocolNote").contains("Папку открыть нечем"));
    ktx::test::saveScreenshot(*dialog, "protocol-dialog-no-browser.png");
}

// A tracker swapped while another action runs: the identification that
// follows comes before the check, and the record names the tracker checked.
TEST(ProtocolAction, TheRecordNamesTheTrackerFoundWhenTheCheckStarts)
{
    struct SwappableSimulator : sim::SimDriver {
        using SimDriver::SimDriver;
        std::string serial = "1234567";
        FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override
        {
            const FT_STATUS status = SimDriver::deviceString(index, which, text);
            if (status == FT_OK && which == FT_OPEN_BY_SERIAL_NUMBER)
                text = serial;
            return status;
        }
    };
    qputenv("KTX_NO_BROWSER", "1");
    QTemporaryDir dir;
    VirtualTimeSource time;
    SwappableSimulator simulator(time, sim::defaultScenario());
    TKorvantixtest window(simulator, time, dir.path().toStdString());
    window.show();
    QApplication::processEvents();
    auto* protocol = window.findChild<QPushButton*>("ProtocolButton");

    // A long action: meanwhile tracker 1234567 goes, 7654321 comes, and the
    // technician clicks "Протокол".
    DeviceActions::Action longAction;
    longAction.work = [&] {
        simulator.serial = "7654321";
        QEvent change(TKorvantixtest::deviceChangeEventType());
        QCoreApplication::sendEvent(&window, &change);
        protocol->click();
    };
    window.deviceActions().enqueue(std::move(longAction));

    QDialog* dialog = protocolDialog();
    ASSERT_NE(dialog, nullptr);
    const QDir protocols(dir.filePath("protocols"));
    EXPECT_EQ(protocols.entryList({"7654321-*"}, QDir::Files).size(), 3) << protocols.entryList().join(' ').toStdString();
    EXPECT_TRUE(protocols.entryList({"1234567-*"}, QDir::Files).isEmpty()) << "the record names the tracker that was unplugged";
    dialog->reject();
}

// The check has the tracker to itself, and the polls the technician had
// running go on after it: their boxes never said otherwise.
TEST(ProtocolAction, ThePollsWaitForTheCheckAndGoOnAfterIt)
{
    ProtocolWindow w;
    auto* workBox = w.window.findChild<QCheckBox*>("WorkBox");
    auto* timer1 = w.window.findChild<QTimer*>("Timer1");
    workBox->setChecked(true);
    ASSERT_TRUE(timer1->isActive());

    // A tick at every step of the check queues no poll.
    bool pollQueuedDuringTheCheck = false;
    int rowsSeen = 0;
    QMetaObject::Connection watch;
    QObject::connect(&w.window.deviceActions(), &DeviceActions::exclusiveActionChanged, [&](bool pending) {
        QDialog* dialog = protocolDialog();
        auto* list = dialog ? dialog->findChild<QListWidget*>() : nullptr;
        if (!pending || !list)
            return;
        watch = QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
            // The results database's row comes after the check has let go.
            if (!w.window.deviceActions().exclusiveActionPending())
                return;
            ++rowsSeen;
            QMetaObject::invokeMethod(timer1, "timeout");
            pollQueuedDuringTheCheck |= w.window.deviceActions().isQueued(timer1);
        });
    });
    w.button()->click();
    QObject::disconnect(watch);
    EXPECT_GT(rowsSeen, 5);
    EXPECT_FALSE(pollQueuedDuringTheCheck);
    EXPECT_TRUE(workBox->isChecked());
    EXPECT_TRUE(timer1->isActive()) << "the status poll was left stopped with its box ticked";
    EXPECT_TRUE(w.window.findChild<QPushButton*>("ProtocolButton")->isEnabled());
}

// While a modem update has the tracker, "Протокол" waits greyed.
TEST(ProtocolAction, IsGreyedWhileAnotherExclusiveActionHasTheTracker)
{
    ProtocolWindow w;
    bool greyedDuring = false;
    DeviceActions::Action update;
    update.key = w.window.findChild<QPushButton*>("TelitInit");
    update.stop = std::make_shared<std::atomic<bool>>(false);
    update.work = [&] { greyedDuring = !w.button()->isEnabled(); };
    w.window.buildAllTabs();
    ASSERT_TRUE(w.window.deviceActions().enqueue(std::move(update)));
    EXPECT_TRUE(greyedDuring);
    EXPECT_TRUE(w.button()->isEnabled());
}

// A close (or SIGTERM, which closes the window) during a long check cuts
// its wait short as korvantix-check does: the step is an error, the
// cleanup runs, the record and the settings are written, the window goes.
TEST(ProtocolAction, ACloseStopsTheCheckKeepsItsRecordAndClosesTheWindow)
{
    qputenv("KTX_NO_BROWSER", "1");
    QTemporaryDir dir;
    {
        std::ofstream profile(dir.filePath("check-profile.json").toStdString());
        profile << R"({"name": "long", "steps": [{"type": "identification", "firmware": {"min": 57, "max": 999}},
                     {"type": "counters", "generators": [1], "seconds": 600}]})";
    }
    RealTimeSource time;
    sim::SimDriver simulator(time, sim::defaultScenario());
    TKorvantixtest window(simulator, time, dir.path().toStdString());
    window.show();
    ASSERT_TRUE(ktx::test::identifiedOnTheWorker(window));
    window.findChild<QPushButton*>("ProtocolButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([] {
        QDialog* dialog = protocolDialog();
        return dialog && rowsOf(dialog).size() == 2;
    }, 20000));
    QTest::qWait(300);  // into the counters' wait

    window.close();
    EXPECT_NE(window.findChild<QLabel*>("ClosingNotice"), nullptr) << "a close that waits says so";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 15000)) << "the check's wait was not cut short";
    const QStringList records = QDir(dir.filePath("protocols")).entryList({"1234567-*.json"}, QDir::Files);
    ASSERT_EQ(records.size(), 1);
    QFile record(QDir(dir.filePath("protocols")).filePath(records[0]));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray json = record.readAll();
    EXPECT_TRUE(json.contains("\"interrupted\": true") || json.contains("\"interrupted\":true")) << json.toStdString();
    EXPECT_TRUE(json.contains("interrupted by a signal")) << json.toStdString();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(window.settingsPath())));
}

// The dialog closed while the check still runs: the check goes on to its
// end and keeps its record; nothing touches the deleted step list.
TEST(ProtocolAction, ClosingTheDialogMidRunLeavesTheCheckToFinish)
{
    qputenv("KTX_NO_BROWSER", "1");
    QTemporaryDir dir;
    {
        std::ofstream profile(dir.filePath("check-profile.json").toStdString());
        profile << R"({"name": "short", "steps": [{"type": "identification", "firmware": {"min": 57, "max": 999}},
                     {"type": "supply", "supply": {"min": 9, "max": 32}},
                     {"type": "counters", "generators": [1], "seconds": 1},
                     {"type": "supply", "supply": {"min": 9, "max": 32}}]})";
    }
    RealTimeSource time;
    sim::SimDriver simulator(time, sim::defaultScenario());
    TKorvantixtest window(simulator, time, dir.path().toStdString());
    window.show();
    ASSERT_TRUE(ktx::test::identifiedOnTheWorker(window));
    window.findChild<QPushButton*>("ProtocolButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([] {
        QDialog* dialog = protocolDialog();
        return dialog && !rowsOf(dialog).isEmpty();
    }, 20000));
    protocolDialog()->reject();  // Esc: the dialog is deleted
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.deviceActions().busy(); }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(QDir(dir.filePath("protocols")).entryList({"1234567-*"}, QDir::Files).size(), 3);
}

}  // namespace
}  // namespace ktx::check::test
