// The window's "Протокол" button: the same check on the identified tracker,
// steps in a dialog, the record beside the settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/ui/TKorvantixtest.h"
#include "link/VirtualTimeSource.h"
#include "results/ResultsStore.h"
#include "sim/ModemModule.h"
#include "sim/SimDriver.h"

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

}  // namespace
}  // namespace ktx::check::test
