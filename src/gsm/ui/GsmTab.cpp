#include "gsm/ui/GsmTab.h"

#include <QLineEdit>

#include "base/ui/PanelColors.h"
#include "base/ui/ShapeWidget.h"
#include "gsm/DeviceSettings.h"
#include "base/TextCodec.h"
#include "ui_GsmTab.h"

namespace ktx {

namespace {

const QColor kGreen{0, 128, 0};

}  // namespace

GsmTab::GsmTab(AppContext& context, QTimer* timer1, QWidget* parent)
    : QWidget(parent), ui(new Ui::GsmTab), context_(context), timer1_(timer1), tests_(context, *this)
{
    ui->setupUi(this);
    for (int mode : gsm::kShapeModes)
        paintShape(mode, false);
    ui->GSMMemo->setPlainText(QString());

    connect(ui->ReadGSMParams, &QPushButton::clicked, this, &GsmTab::ReadGSMParamsClick);
    const std::pair<QPushButton*, void (GsmTab::*)()> buttons[] = {
        {ui->Button13, &GsmTab::Button13Click}, {ui->Button1, &GsmTab::Button1Click},
        {ui->Button2, &GsmTab::Button2Click},   {ui->Button3, &GsmTab::Button3Click},
        {ui->Button4, &GsmTab::Button4Click},   {ui->Button5, &GsmTab::Button5Click},
        {ui->Button6, &GsmTab::Button6Click},   {ui->Button7, &GsmTab::Button7Click},
        {ui->Button8, &GsmTab::Button8Click},   {ui->Button9, &GsmTab::Button9Click},
        {ui->Button10, &GsmTab::Button10Click}, {ui->Button11, &GsmTab::Button11Click},
        {ui->ATButton, &GsmTab::ATButtonClick}, {ui->Button25, &GsmTab::Button25Click},
        {ui->ButtonSound, &GsmTab::ButtonSoundClick}, {ui->Button22, &GsmTab::Button22Click},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
}

GsmTab::~GsmTab()
{
    delete ui;
}

void GsmTab::setWorkDir(const std::string& workDir)
{
    tests_.setWorkDir(workDir);
}

void GsmTab::stopStatusPoll()
{
    if (timer1_)
        timer1_->stop();
}

void GsmTab::paintShape(int mode, bool passed)
{
    auto* shape = findChild<ShapeWidget*>(QStringLiteral("Mode%1").arg(mode));
    if (!shape)
        return;
    shape->setBrushColor(passed ? kGreen : colors::kRed);
    shape->setBrushStyle(passed ? Qt::DiagCrossPattern : Qt::SolidPattern);
}

template <class Action>
void GsmTab::run(Action action)
{
    if (busy_)
        return;
    busy_ = true;
    ui->Panel17->setEnabled(false);
    action();
    ui->Panel17->setEnabled(true);
    busy_ = false;
}

std::string GsmTab::bytes(const QLineEdit* edit) const
{
    return cp1251FromUtf8(edit->text().toStdString());
}

void GsmTab::showValue(QLineEdit* edit, const std::string& value)
{
    edit->setText(QString::fromStdString(utf8FromCp1251(value)));
    edit->setCursorPosition(0);  // a long access point shows its beginning
}

void GsmTab::ReadGSMParamsClick()
{
    run([this] {
        const gsm::DeviceSettings found = gsm::ReadDeviceSettings(context_);
        if (found.pin)
            showValue(ui->PIN, *found.pin);
        if (found.accessPoint) {
            showValue(ui->apnapn, found.accessPoint->name);
            showValue(ui->apnusr, found.accessPoint->user);
            showValue(ui->apnpwd, found.accessPoint->password);
        }
        if (found.ip)
            showValue(ui->ip, *found.ip);
        if (found.port)
            showValue(ui->Port, *found.port);
    });
}

void GsmTab::Button13Click()
{
    run([this] { tests_.powerOff(); });
}

void GsmTab::Button1Click()
{
    run([this] { tests_.powerOn(ui->SIMComboBox->currentIndex()); });
}

void GsmTab::Button2Click()
{
    run([this] { tests_.pinStatus(); });
}

void GsmTab::Button3Click()
{
    run([this] { tests_.pinEntry(bytes(ui->PIN)); });
}

void GsmTab::Button4Click()
{
    run([this] { tests_.settings(); });
}

void GsmTab::Button5Click()
{
    run([this] { tests_.registration(); });
}

void GsmTab::Button6Click()
{
    run([this] { tests_.gprsAvailability(); });
}

void GsmTab::Button7Click()
{
    run([this] { tests_.gprsConnect(bytes(ui->apnapn), bytes(ui->apnusr), bytes(ui->apnpwd)); });
}

void GsmTab::Button8Click()
{
    run([this] { tests_.serverConnect(bytes(ui->ip), bytes(ui->Port)); });
}

void GsmTab::Button9Click()
{
    run([this] { tests_.disconnect(); });
}

void GsmTab::Button10Click()
{
    run([this] { tests_.call(bytes(ui->telnum)); });
}

void GsmTab::Button11Click()
{
    run([this] { tests_.sms(bytes(ui->sms)); });
}

void GsmTab::ATButtonClick()
{
    run([this] { tests_.atConsole(bytes(ui->ATCommand), bytes(ui->ATTimeOut)); });
}

void GsmTab::Button25Click()
{
    run([this] { tests_.dnsParse(); });
}

void GsmTab::ButtonSoundClick()
{
    run([this] { tests_.microphone(); });
}

void GsmTab::Button22Click()
{
    run([this] { tests_.speaker(); });
}

}  // namespace ktx
