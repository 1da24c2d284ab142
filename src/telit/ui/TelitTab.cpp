#include "telit/ui/TelitTab.h"

#include <QFile>
#include <QFileDialog>

#include "ui_TelitTab.h"

namespace ktx {

TelitTab::TelitTab(AppContext& context, std::array<QTimer*, 5> pollTimers, QWidget* parent)
    : QWidget(parent), ui(new Ui::TelitTab), context_(context), pollTimers_(pollTimers)
{
    ui->setupUi(this);
    chooseFile = [this] { return showFileDialog(); };
    connect(ui->TelitInit, &QPushButton::clicked, this, &TelitTab::TelitInitClick);
    connect(ui->Button26, &QPushButton::clicked, this, &TelitTab::Button26Click);
    connect(ui->Button27, &QPushButton::clicked, this, &TelitTab::Button27Click);
    connect(ui->Button28, &QPushButton::clicked, this, [this] { powerOff(); });
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
    switch (telit::checkFirmwareHeader(context_.log, firmwarePath())) {
    case telit::HeaderCheck::Valid:
        ui->TelitInit->setEnabled(true);
        break;
    case telit::HeaderCheck::Incomplete:
        ui->TelitInit->setEnabled(false);
        break;
    case telit::HeaderCheck::CannotOpen:
        break;
    }
}

void TelitTab::TelitInitClick()
{
    telit::FirmwareUpdate update(context_, *this, workDir_);
    update.run(firmwarePath());
}

void TelitTab::stopPollTimers()
{
    for (QTimer* timer : pollTimers_)
        if (timer)
            timer->stop();
}

void TelitTab::setProgress(int value)
{
    ui->ProgressBar1->setValue(value);
}

void TelitTab::powerOff()
{
    if (powerOffModem)
        powerOffModem();
}

}  // namespace ktx
