#include "app/ui/ProtocolAction.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
#include <memory>

#include "base/Version.h"
#include "app/ui/CheckTexts.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "widgets/LinkOpener.h"
#include "check/CheckRun.h"
#include "check/Exchanges.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"
#include "link/LinkSession.h"
#include "app/Settings.h"
#include "results/ResultsCommands.h"

namespace ktx {
namespace {

const QString kTitle = QStringLiteral("Протокол");

// The steps as list rows: a running one, then its verdict and time. The
// check runs on the device worker; every row change is posted to the window,
// which outlives every action, and the list is looked up there, on the GUI
// thread: the dialog may have been closed meanwhile.
class DialogView : public check::CheckView {
public:
    using Rows = std::shared_ptr<const QPointer<QListWidget>>;  // made on the GUI thread

    DialogView(QObject* window, Rows list) : window_(window), list_(std::move(list)) {}

    void stepStarted(const check::StepPlan& step, size_t index, size_t count) override
    {
        const QString row = QStringLiteral("[%1/%2] %3 …").arg(index + 1).arg(count).arg(stepTitle(step));
        onGuiThread(window_, [list = list_, row] {
            if (!*list)
                return;
            (*list)->addItem(row);
            (*list)->scrollToBottom();
        });
    }
    void stepFinished(const check::StepRecord& step) override
    {
        const QString verdict = outcomeTitle(step.outcome) + QStringLiteral("  ") + secondsText(step.durationMs);
        const bool bad = step.outcome == check::Outcome::Fail || step.outcome == check::Outcome::Error;
        const QColor colour = bad ? QColor(Qt::red) : step.outcome == check::Outcome::Marginal ? QColor(0xB0, 0x70, 0) : QColor(Qt::darkGreen);
        onGuiThread(window_, [list = list_, verdict, colour] {
            if (!*list || (*list)->count() == 0)
                return;
            QListWidgetItem* item = (*list)->item((*list)->count() - 1);
            item->setText(item->text().chopped(1) + verdict);
            item->setForeground(colour);
        });
    }

private:
    QObject* window_;
    Rows list_;  // never read on the worker
};

// What the run on the worker hands back to the dialog.
struct ProtocolOutcome {
    bool identified = false;
    int exitCode = 0;  // as korvantix-check's
    check::WrittenRecord written;
    bool stored = false;
    std::string resultsNote;  // what storing said, as korvantix-check says it
};

// Stores the written record as korvantix-check does; its lines are kept for
// the dialog instead of a terminal.
void storeProtocol(const std::string& database, const std::string& folder, ProtocolOutcome& outcome)
{
    const results::ResultsPlace place = results::resultsPlaceFor(database, folder);
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

bool openLocalPath(const QString& path) { return localFileOpener()(QUrl::fromLocalFile(path)); }

// The dialog: the steps as they run, then the verdict, where the record is
// and a button that opens its folder.
struct ProtocolDialog {
    QPointer<QDialog> dialog;
    QPointer<QListWidget> list;
    QPointer<QLabel> verdict;
    QPointer<QLabel> written;
    QPointer<QLineEdit> folder;
    QPointer<QLabel> note;
    QPointer<QPushButton> openFolder;
    QPointer<QPushButton> close;
};

QLabel* addLabel(QWidget* dialog, QLayout* layout, const char* name)
{
    auto* label = new QLabel(dialog);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    layout->addWidget(label);
    return label;
}

ProtocolDialog showDialog(QWidget* window)
{
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("ProtocolDialog"));
    dialog->setWindowTitle(QStringLiteral("Протокол проверки"));
    auto* layout = new QVBoxLayout(dialog);
    ProtocolDialog shown;
    shown.dialog = dialog;
    shown.list = new QListWidget(dialog);
    layout->addWidget(shown.list, 1);
    shown.verdict = addLabel(dialog, layout, "ProtocolVerdict");
    shown.verdict->setTextFormat(Qt::RichText);
    shown.written = addLabel(dialog, layout, "ProtocolWritten");
    // Read-only but selectable: where nothing opens the folder, the path is
    // copied from here, however long it is.
    shown.folder = new QLineEdit(dialog);
    shown.folder->setObjectName(QStringLiteral("ProtocolFolder"));
    shown.folder->setReadOnly(true);
    shown.folder->setVisible(false);
    layout->addWidget(shown.folder);
    shown.note = addLabel(dialog, layout, "ProtocolNote");
    auto* buttons = new QHBoxLayout;
    shown.openFolder = new QPushButton(QStringLiteral("Открыть папку"), dialog);
    shown.openFolder->setObjectName(QStringLiteral("ProtocolOpenFolder"));
    shown.openFolder->setEnabled(false);
    shown.close = new QPushButton(QStringLiteral("Закрыть"), dialog);
    shown.close->setObjectName(QStringLiteral("ProtocolClose"));
    shown.close->setEnabled(false);
    buttons->addWidget(shown.openFolder);
    buttons->addStretch();
    buttons->addWidget(shown.close);
    layout->addLayout(buttons);
    QObject::connect(shown.close, &QPushButton::clicked, dialog, &QDialog::accept);
    dialog->resize(460, 400);
    dialog->setModal(true);
    dialog->show();
    return shown;
}

QString verdictText(const ProtocolOutcome& outcome)
{
    if (!outcome.identified)
        return QStringLiteral("<b style='color:red'>Трекер не опознан: подключите его и дождитесь серийного номера.</b>");
    const VerdictText verdict = verdictForExitCode(outcome.exitCode);
    return QStringLiteral("<b style='font-size:16pt;color:%1'>%2</b>").arg(verdict.colour.name(), verdict.text);
}

// The verdict, the folder and whether the report could be opened.
void showOutcome(const ProtocolDialog& shown, const ProtocolOutcome& outcome, bool openReport)
{
    if (shown.verdict)
        shown.verdict->setText(verdictText(outcome));
    if (shown.close)
        shown.close->setEnabled(true);
    if (!outcome.identified || !shown.folder || !shown.written || !shown.note)
        return;
    if (!outcome.written.ok) {
        shown.note->setText(QStringLiteral("Протокол не записан: %1").arg(QString::fromStdString(outcome.written.error)));
        return;
    }
    const QString html = QString::fromStdString(outcome.written.htmlPath);
    const QString folder = QFileInfo(html).absolutePath();
    shown.written->setText(QStringLiteral("Протокол записан (отчёт %1) в папку:").arg(QFileInfo(html).fileName()));
    shown.folder->setText(folder);
    shown.folder->setCursorPosition(0);
    shown.folder->setVisible(true);
    if (shown.openFolder) {
        shown.openFolder->setEnabled(true);
        QObject::connect(shown.openFolder, &QPushButton::clicked, shown.openFolder,
            [note = shown.note, folder] {
                if (!openLocalPath(folder) && note)
                    note->setText(QStringLiteral("Папку открыть нечем: скопируйте путь выше."));
            });
    }
    if (openReport && !openLocalPath(html))
        shown.note->setText(QStringLiteral("Отчёт открыть нечем (нет программы для HTML): путь к нему выше, его можно скопировать."));
}

void runProtocol(TKorvantixtest& window, QPushButton* protocolButton)
{
    const DeviceAccess access = window.deviceAccess();
    const QString workDir = QFileInfo(QString::fromStdString(window.settingsPath())).absolutePath();
    check::Profile profile;
    std::string error;
    if (!readProfile(workDir, profile, error)) {
        QMessageBox::warning(&window, kTitle, QString::fromStdString(error));
        return;
    }
    const ProtocolDialog shown = showDialog(&window);

    // One exclusive action on the device worker: every poll waits, the tabs'
    // boxes stay as they are, and a close or a signal stops the check the way
    // korvantix-check stops on SIGTERM.
    const std::string station = QSysInfo::machineHostName().toStdString();
    const std::string operatorName = qEnvironmentVariable("USER").toStdString();
    const std::string folder = QDir(workDir).filePath(QStringLiteral("protocols")).toStdString();
    const std::string database = readSettings(window.settingsPath(), {}).window.resultsDatabase;
    takeTrackerExclusively(access, protocolButton, &window, protocolButton,
        [windowObject = static_cast<QObject*>(&window), profile, station, operatorName, folder, database,
            rows = std::make_shared<const QPointer<QListWidget>>(shown.list)](AppContext& context,
            const std::atomic<bool>& stop) {
            ProtocolOutcome outcome;
            // Found here, on the worker that identifies: the tracker checked
            // is the one the record names, whatever was plugged meanwhile.
            if (context.device.index < 0)
                return outcome;
            // Pulled out since it was identified: said as every action says
            // it, not as eleven steps without an answer.
            if (LinkSession probe(context, LinkMode::Normal); !probe) {
                probe.sayNotConnected();
                return outcome;
            }
            outcome.identified = true;
            const check::Tracker tracker{context.device.index, context.device.serialText, "Korvantix"};
            check::StoppableTime time(context.time, stop);
            DialogView view(windowObject, rows);
            check::RunRecord record = check::runCheck(context.link.driver(), time, tracker, profile, view);
            record.station = station;
            record.operatorName = operatorName;
            record.programVersion = KTX_VERSION;
            // "protocols" is the console's own folder: a symlink there would
            // take the records out of the working directory.
            outcome.written = check::writeRecordFiles(record, folder, DirectoryLink::Refuse);
            outcome.exitCode = check::exitCodeFor(record);
            if (outcome.written.ok)
                storeProtocol(database, folder, outcome);
            return outcome;
        },
        [shown, access](const ProtocolOutcome& outcome) {
            // A run stopped by a close opens nothing: the window is going.
            const bool closing = access.actions() && !access.actions()->accepting();
            if (shown.list && !outcome.resultsNote.empty()) {
                auto* note = new QListWidgetItem(QString::fromStdString(outcome.resultsNote), shown.list);
                note->setForeground(outcome.stored ? QColor(Qt::darkGreen) : QColor(0xB0, 0x70, 0));
                note->setData(Qt::UserRole, QStringLiteral("results"));
            }
            showOutcome(shown, outcome, !closing);
        });
}

}  // namespace

void installProtocolAction(TKorvantixtest& window)
{
    QPushButton* button = window.addToolButton(kTitle, QStringLiteral("ProtocolButton"));
    QObject::connect(button, &QPushButton::clicked, &window, [&window, button] { runProtocol(window, button); });
    // Greyed while another exclusive action (a modem update) has the tracker.
    QObject::connect(&window.deviceActions(), &DeviceActions::exclusiveActionChanged, button,
        [button](bool pending) { button->setEnabled(!pending); });
}

}  // namespace ktx
