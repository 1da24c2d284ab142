#include "app/ui/ProtocolAction.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
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

#include "app/Version.h"
#include "app/ui/TKorvantixtest.h"
#include "check/CheckRun.h"
#include "check/Exchanges.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"

namespace ktx {
namespace {

// The steps as list rows: a running one, then its verdict and time.
class DialogView : public check::CheckView {
public:
    explicit DialogView(QListWidget& list) : list_(list) {}

    void stepStarted(const check::StepSpec& step, size_t index, size_t count) override
    {
        list_.addItem(QStringLiteral("[%1/%2] %3 …").arg(index + 1).arg(count).arg(QString::fromStdString(step.name)));
        list_.scrollToBottom();
    }
    void stepFinished(const check::StepRecord& step) override
    {
        QListWidgetItem* item = list_.item(list_.count() - 1);
        const QString text = item->text().chopped(1) + QStringLiteral("%1  %2 с")
            .arg(QString::fromLatin1(check::outcomeName(step.outcome)))
            .arg(step.durationMs / 1000.0, 0, 'f', 1);
        item->setText(text);
        const bool bad = step.outcome == check::Outcome::Fail || step.outcome == check::Outcome::Error;
        item->setForeground(bad ? QColor(Qt::red) : step.outcome == check::Outcome::Marginal ? QColor(0xB0, 0x70, 0) : QColor(Qt::darkGreen));
    }

private:
    QListWidget& list_;
};

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
        timer->stop();

    QDialog dialog(&window);
    dialog.setWindowTitle(QStringLiteral("Протокол проверки"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    auto* verdict = new QLabel(&dialog);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), &dialog);
    layout->addWidget(list);
    layout->addWidget(verdict);
    layout->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    close->setEnabled(false);
    close->setObjectName(QStringLiteral("ProtocolClose"));
    dialog.resize(460, 360);
    dialog.setModal(true);
    dialog.show();

    std::atomic<bool> stop{false};
    check::StoppableTime time(context.time, stop);
    DialogView view(*list);
    check::Tracker tracker{context.device.index, context.device.serialText, "Korvantix"};
    check::RunRecord record = check::runCheck(context.link.driver(), time, tracker, profile, view);
    record.station = QSysInfo::machineHostName().toStdString();
    record.operatorName = qEnvironmentVariable("USER").toStdString();
    record.programVersion = KTX_VERSION;

    const std::string folder = QDir(workDir).filePath(QStringLiteral("protocols")).toStdString();
    const check::WrittenRecord written = check::writeRecordFiles(record, folder);
    const bool passed = check::exitCodeFor(record) == 0;
    verdict->setText(QStringLiteral("<b style='font-size:16pt;color:%1'>%2</b>")
        .arg(passed ? QStringLiteral("green") : QStringLiteral("red"))
        .arg(passed ? QStringLiteral("ГОДЕН") : QStringLiteral("НЕ ГОДЕН")));
    close->setEnabled(true);
    if (!written.ok)
        QMessageBox::warning(&dialog, QStringLiteral("Протокол"),
            QStringLiteral("Протокол не записан: %1").arg(QString::fromStdString(written.error)));
    else if (qEnvironmentVariableIsEmpty("KTX_NO_BROWSER"))
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(written.htmlPath)));
    // The dialog is already showing (exec would not make it modal again).
    QEventLoop untilClosed;
    QObject::connect(&dialog, &QDialog::finished, &untilClosed, &QEventLoop::quit);
    untilClosed.exec();
}

}  // namespace

void installProtocolAction(TKorvantixtest& window)
{
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    if (!pages)
        return;
    auto* button = new QPushButton(QStringLiteral("Протокол"), pages);
    button->setObjectName(QStringLiteral("ProtocolButton"));
    pages->setCornerWidget(button, Qt::TopRightCorner);
    QObject::connect(button, &QPushButton::clicked, &window, [&window] { runProtocol(window); });
}

}  // namespace ktx
