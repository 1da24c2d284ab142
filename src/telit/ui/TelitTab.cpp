#include "telit/ui/TelitTab.h"

#include <QFile>
#include <QFileDialog>
#include <cstdio>

#include "base/TextCodec.h"
#include "widgets/DeviceActions.h"
#include "telit/ui/TabRegistration.h"
#include "ui_TelitTab.h"

namespace ktx {

TelitTab::TelitTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::TelitTab), device_(device)
{
    ui->setupUi(this);
    chooseFile = [this] { return showFileDialog(); };
    connect(ui->TelitInit, &QPushButton::clicked, this, &TelitTab::TelitInitClick);
    connect(ui->Button26, &QPushButton::clicked, this, &TelitTab::Button26Click);
    connect(ui->Button27, &QPushButton::clicked, this, &TelitTab::Button27Click);
    // The button queues a power-off of its own, with the tracker taken as
    // the update takes it; the update's powerOff runs inside the update.
    connect(ui->Button28, &QPushButton::clicked, this, [this] {
        takeTrackerExclusively(device_, ui->Button28, this, ui->Button28,
            [this](AppContext& device, const std::atomic<bool>&) { powerOff(device); }, [] {});
    });
    connect(ui->Button29, &QPushButton::clicked, this, &TelitTab::saveSettingsRequested);
}

TelitTab::~TelitTab()
{
    delete ui;
}

std::string TelitTab::firmwarePath() const
{
    return QFile::encodeName(ui->FirmwarePath->text()).toStdString();
}

QString TelitTab::showFileDialog()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setNameFilter(QStringLiteral("bin (*.bin)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The desktop's own dialog would list the file among recent documents.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!lastChosenFile_.isEmpty())
        dialog.selectFile(lastChosenFile_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void TelitTab::Button26Click()
{
    const QString chosen = chooseFile ? chooseFile() : QString();
    if (!chosen.isEmpty())
        lastChosenFile_ = chosen;
    if (!lastChosenFile_.isEmpty())
        ui->FirmwarePath->setText(lastChosenFile_);
}

void TelitTab::Button27Click()
{
    // A file the check could not open or read can't be flashed either.
    ui->TelitInit->setEnabled(telit::checkFirmwareHeader(device_.log(), firmwarePath()) == telit::HeaderCheck::Valid);
}

void TelitTab::TelitInitClick()
{
    // Greyed until the update has ended: a second click cannot start another.
    // The polls wait meanwhile and go on afterwards, their boxes untouched.
    // A close or a signal does not cut a flash short: its stop token is not
    // heeded.
    takeTrackerExclusively(device_, ui->TelitInit, this, ui->TelitInit,
        [this, path = firmwarePath(), workDir = workDir_](AppContext& device, const std::atomic<bool>&) {
            telit::FirmwareUpdate update(device, *this, workDir);
            return update.run(path);
        },
        [this](telit::UpdateOutcome outcome) {
            const std::string line = telit::outcomeLine(outcome);
            LogDebug(device_.log(), 1, "%s", cp1251FromUtf8(line).c_str());
            // A close waited for the update and the window goes now: the
            // result stays on the terminal.
            if (device_.actions() && !device_.actions()->accepting())
                std::fprintf(stderr, "%s\n", line.c_str());
        });
}

void TelitTab::setProgressMaximum(int maximum)
{
    onGuiThread(this, [this, maximum] { ui->ProgressBar1->setRange(0, maximum); });
}

void TelitTab::setProgress(int value)
{
    onGuiThread(this, [this, value] { ui->ProgressBar1->setValue(value); });
}

void TelitTab::powerOff(AppContext& device)
{
    // Part of the action running now, not a step queued behind it.
    if (switchModemOff)
        switchModemOff(device);
}

QPlainTextEdit* TelitTab::console() const
{
    return ui->TelitMemo;
}

namespace telit {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    auto* tab = new TelitTab(environment.device, page);
    tab->switchModemOff = environment.switchModemOffInAction;
    tab->setWorkDir(environment.workDir);
    QObject::connect(tab, &TelitTab::saveSettingsRequested, tab, environment.saveSettings);
    return tab;
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet8", .title = "TELIT", .make = makeTab, .console = TabConsole::Telit};
    return registration;
}

}  // namespace telit
}  // namespace ktx
