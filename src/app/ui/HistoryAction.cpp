#include "app/ui/HistoryAction.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/ui/HistoryDialog.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "results/ResultsCommands.h"
#include "results/ResultsStore.h"

namespace ktx {
namespace {

const QString kIdleTip = QStringLiteral("Проверки опознанного трекера из базы результатов, новые сверху");
const QString kBusyTip = QStringLiteral("Трекер занят (идёт проверка или обновление модема): история — после него");

// What the read on the device worker hands back to the dialog.
struct HistoryRead {
    bool identified = false;
    std::string serial;
    bool ok = false;
    std::string error;
    std::vector<results::HistoryRun> runs;
};

// A SQLite file no run has made yet holds no runs, and a look at the
// history makes none. A file the user named in a folder that is not there
// is a fault: opening it says so.
bool notMadeYet(const results::ResultsPlace& place)
{
    namespace fs = std::filesystem;
    if (place.target.engine != results::Engine::Sqlite)
        return false;
    const fs::path file(place.target.location);
    std::error_code failed;
    if (fs::exists(file, failed) || failed)
        return false;
    return !place.chosen || fs::is_directory(file.has_parent_path() ? file.parent_path() : fs::path("."), failed);
}

HistoryRead readHistory(const std::string& serial, const results::ResultsPlace& place)
{
    HistoryRead read;
    read.identified = true;
    read.serial = serial;
    if (notMadeYet(place)) {
        read.ok = true;
        return read;
    }
    results::ResultsStore store;
    read.ok = store.open(place.target, read.error) && store.history(serial, read.runs, read.error);
    return read;
}

void showHistory(TKorvantixtest& window, QPushButton* button)
{
    const DeviceAccess access = window.deviceAccess();
    if (access.actions() && !access.actions()->accepting())
        return;  // the window is closing
    const QString workDir = QFileInfo(QString::fromStdString(window.settingsPath())).absolutePath();
    const std::string folder = QDir(workDir).filePath(QStringLiteral("protocols")).toStdString();
    const results::ResultsPlace place =
        results::resultsPlaceFor(readSettings(window.settingsPath(), {}).window.resultsDatabase, folder);

    auto* dialog = new HistoryDialog(QString::fromStdString(results::shownTarget(place.target)), &window);
    dialog->setModal(true);
    dialog->show();
    // The tracker is the one identification last found on the worker; the
    // database's own timeouts bound the read (a server away gives up after
    // its connect timeout, a locked SQLite file after its busy timeout).
    runDeviceAction(access, button, dialog, button,
        [place](AppContext& context) {
            if (context.device.index < 0)
                return HistoryRead{};
            return readHistory(context.device.serialText, place);
        },
        [dialog = QPointer<HistoryDialog>(dialog)](const HistoryRead& read) {
            if (!dialog)
                return;
            if (!read.identified)
                dialog->showNoTracker();
            else if (!read.ok)
                dialog->showFailure(QString::fromStdString(read.error));
            else
                dialog->showRuns(QString::fromStdString(read.serial), read.runs);
        });
}

}  // namespace

void installHistoryAction(TKorvantixtest& window)
{
    QPushButton* button = window.addToolButton(QStringLiteral("История"), QStringLiteral("HistoryButton"));
    button->setToolTip(kIdleTip);
    QObject::connect(button, &QPushButton::clicked, &window, [&window, button] { showHistory(window, button); });
    // A check or a modem update has the tracker for minutes: the read would
    // wait behind it in the queue.
    QObject::connect(&window.deviceActions(), &DeviceActions::exclusiveActionChanged, button, [button](bool pending) {
        button->setEnabled(!pending);
        button->setToolTip(pending ? kBusyTip : kIdleTip);
    });
}

}  // namespace ktx
