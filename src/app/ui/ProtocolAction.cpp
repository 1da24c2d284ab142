#include "app/ui/ProtocolAction.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "base/Version.h"
#include "app/ui/CheckTexts.h"
#include "app/ui/TKorvantixtest.h"
#include "base/ui/DeviceActions.h"
#include "check/CheckRun.h"
#include "check/Exchanges.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"
#include "app/Settings.h"
#include "results/ResultsCommands.h"

namespace ktx {
namespace {

// The steps as list rows: a running one, then its verdict and time. The
// check runs on the device worker; every row change is made on the GUI
// thread, in order.
class DialogView : public check::CheckView {
public:
    explicit DialogView(QListWidget* list) : list_(list) {}

    void stepStarted(const check::StepSpec& step, size_t index, size_t count) override
    {
        const QString row = QStringLiteral("[%1/%2] %3 …").arg(index + 1).arg(count).arg(stepTitle(step));
        QPointer<QListWidget> list = list_;
        onGuiThread(list_, [list, row] {
            if (!list)
                return;
            list->addItem(row);
            list->scrollToBottom();
        });
    }
    void stepFinished(const check::StepRecord& step) override
    {
        const QString verdict = outcomeTitle(step.outcome) + QStringLiteral("  ") + secondsText(step.durationMs);
        const bool bad = step.outcome == check::Outcome::Fail || step.outcome == check::Outcome::Error;
        const QColor colour = bad ? QColor(Qt::red) : step.outcome == check::Outcome::Marginal ? QColor(0xB0, 0x70, 0) : QColor(Qt::darkGreen);
        QPointer<QListWidget> list = list_;
        onGuiThread(list_, [list, verdict, colour] {
            if (!list || list->count() == 0)
                return;
            QListWidgetItem* item = list->item(list->count() - 1);
            item->setText(item->text().chopped(1) + verdict);
            item->setForeground(colour);
        });
    }

private:
    QPointer<QListWidget> list_;
};

// What the run on the worker hands back to the dialog.
struct ProtocolOutcome {
    bool passed = false;
    check::WrittenRecord written;
    bool stored = false;
    std::string resultsNote;  // what storing said, as korvantix-check says it
};

// Stores the written record as korvantix-check does; its lines are kept for
// the dialog instead of a terminal.
void storeProtocol(const std::string& database, const std::string& folder, ProtocolOutcome& outcome)
{
    const results::ResultsPlace place{results::parseResultsTarget(database.empty()
                                          ? folder + "/" + results::kDefaultResultsFile : database),
        folder, !database.empty()};
    char* text = nullptr;
    size_t size = 0;
    FILE* lines = ::open_memstream(&text, &size);
    if (!lines) {
        outcome.resultsNote = "no memory for the results database's messages";
        return;
    }
    outcome.stored = results::storeFinishedRun(place, outcome.written.jsonPath, lines, lines);
    std::fclose(lines);
    outcome.resultsNote.assign(text, size);
    std::free(text);
    while (!outcome.resultsNote.empty() && outcome.resultsNote.back() == '\n')
        outcome.resultsNote.pop_back();
}

// A profile beside the settings file is used when there is one.
bool readProfile(const QString& workDir, check::Profile& profile, std::string& error)
{
    const QString path = QDir(workDir).filePath(QStringLiteral("check-profile.json"));
    if (QFileInfo::exists(path))
        return check::loadProfileFile(path.toStdString(), profile, error);
    return check::parseProfile(check::defaultProfileText(), profile, error);
}

void runProtocol(TKorvantixtest& window)
{
    AppContext& context = window.context();
    const QString workDir = QFileInfo(QString::fromStdString(window.settingsPath())).absolutePath();
    if (context.device.index < 0) {
        QMessageBox::warning(&window, QStringLiteral("Протокол"), QStringLiteral("Трекер не опознан: подключите его и дождитесь серийного номера."));
        return;
    }
    check::Profile profile;
    std::string error;
    if (!readProfile(workDir, profile, error)) {
        QMessageBox::warning(&window, QStringLiteral("Протокол"), QString::fromStdString(error));
        return;
    }
    // The check needs the channel to itself: every poll stops.
    for (QTimer* timer : window.findChildren<QTimer*>())
        if (timer->objectName().startsWith(QLatin1String("Timer")))
            timer->stop();

    auto* dialog = new QDialog(&window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Протокол проверки"));
    auto* layout = new QVBoxLayout(dialog);
    auto* list = new QListWidget(dialog);
    auto* verdict = new QLabel(dialog);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), dialog);
    layout->addWidget(list);
    layout->addWidget(verdict);
    layout->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    close->setEnabled(false);
    close->setObjectName(QStringLiteral("ProtocolClose"));
    dialog->resize(460, 360);
    dialog->setModal(true);
    dialog->show();

    // One queued action on the device worker, like every other exchange:
    // the window stays alive and the button stays greyed until it ends.
    check::Tracker tracker{context.device.index, context.device.serialText, "Korvantix"};
    const std::string station = QSysInfo::machineHostName().toStdString();
    const std::string operatorName = qEnvironmentVariable("USER").toStdString();
    const std::string folder = QDir(workDir).filePath(QStringLiteral("protocols")).toStdString();
    const std::string database = readSettings(window.settingsPath()).resultsDatabase;
    QPointer<QLabel> verdictLabel = verdict;
    QPointer<QPushButton> closeButton = close;
    QPointer<QDialog> shown = dialog;
    auto* protocolButton = window.findChild<QPushButton*>(QStringLiteral("ProtocolButton"));
    runDeviceAction(context, protocolButton, &window, protocolButton,
        [&context, tracker, profile, station, operatorName, folder, database, list = QPointer<QListWidget>(list)] {
            std::atomic<bool> stop{false};
            check::StoppableTime time(context.time, stop);
            DialogView view(list);
            check::RunRecord record = check::runCheck(context.link.driver(), time, tracker, profile, view);
            record.station = station;
            record.operatorName = operatorName;
            record.programVersion = KTX_VERSION;
            ProtocolOutcome outcome;
            outcome.written = check::writeRecordFiles(record, folder);
            outcome.passed = check::exitCodeFor(record) == 0;
            if (outcome.written.ok)
                storeProtocol(database, folder, outcome);
            return outcome;
        },
        [verdictLabel, closeButton, shown, list = QPointer<QListWidget>(list)](const ProtocolOutcome& outcome) {
            if (list && !outcome.resultsNote.empty()) {
                auto* note = new QListWidgetItem(QString::fromStdString(outcome.resultsNote), list);
                note->setForeground(outcome.stored ? QColor(Qt::darkGreen) : QColor(0xB0, 0x70, 0));
                note->setData(Qt::UserRole, QStringLiteral("results"));
            }
            if (verdictLabel)
                verdictLabel->setText(QStringLiteral("<b style='font-size:16pt;color:%1'>%2</b>")
                    .arg(outcome.passed ? QStringLiteral("green") : QStringLiteral("red"))
                    .arg(outcome.passed ? QStringLiteral("ГОДЕН") : QStringLiteral("НЕ ГОДЕН")));
            if (closeButton)
                closeButton->setEnabled(true);
            if (!outcome.written.ok)
                QMessageBox::warning(shown, QStringLiteral("Протокол"),
                    QStringLiteral("Протокол не записан: %1").arg(QString::fromStdString(outcome.written.error)));
            else if (qEnvironmentVariableIsEmpty("KTX_NO_BROWSER"))
                QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(outcome.written.htmlPath)));
        });
}

}  // namespace

void installProtocolAction(TKorvantixtest& window)
{
    QPushButton* button = window.addToolButton(QStringLiteral("Протокол"), QStringLiteral("ProtocolButton"));
    QObject::connect(button, &QPushButton::clicked, &window, [&window] { runProtocol(window); });
}

}  // namespace ktx
