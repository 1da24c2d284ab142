#include "gsm/ui/GsmTab.h"

#include <QLineEdit>

#include "base/SettingsSection.h"
#include "widgets/DeviceActions.h"
#include "widgets/PanelColors.h"
#include "widgets/ShapeWidget.h"
#include "gsm/DeviceSettings.h"
#include "gsm/ui/TabRegistration.h"
#include "base/TextCodec.h"
#include "ui_GsmTab.h"

namespace ktx {

namespace {

const QColor kGreen{0, 128, 0};

const VersionRule kVersionRules[] = {
    {52, "Panel17", false},
    {52, "GroupBox4", false},
    {52, "GroupBox3", false},
    {52, "GSMMemo", false},
};

// ReadGSMAuto: identification reads the device's settings too.
constexpr const char* kReadGsmAutoKey = "ReadGSMAuto";
// The edits first, each under its own name, in the order they are written.
constexpr SettingKey kSettings[] = {
    {"PIN", SettingKind::Text, ""},    {"apnapn", SettingKind::Text, ""}, {"apnusr", SettingKind::Text, ""},
    {"apnpwd", SettingKind::Text, ""}, {"ip", SettingKind::Text, ""},     {"Port", SettingKind::Text, ""},
    {"telnum", SettingKind::Text, ""}, {"sms", SettingKind::Text, ""},    {kReadGsmAutoKey, SettingKind::Flag, "1"},
};

template <class Form>
auto settingsEdits(Form* form)
{
    return std::array{form->PIN, form->apnapn, form->apnusr, form->apnpwd, form->ip, form->Port, form->telnum,
        form->sms};
}

}  // namespace

GsmTab::GsmTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::GsmTab), device_(device), tests_(device, static_cast<gsm::ModemView&>(*this))
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

std::span<const VersionRule> GsmTab::versionRules()
{
    return kVersionRules;
}

void GsmTab::loadSettings(const SettingsSection& section)
{
    for (QLineEdit* edit : settingsEdits(ui))
        edit->setText(QString::fromStdString(section.text(edit->objectName().toStdString())));
    ui->ReadGSMAuto->setChecked(section.flag(kReadGsmAutoKey));
}

void GsmTab::saveSettings(SettingsSection& section) const
{
    for (const QLineEdit* edit : settingsEdits(ui))
        section.setText(edit->objectName().toStdString(), edit->text().toStdString());
    section.setFlag(kReadGsmAutoKey, ui->ReadGSMAuto->isChecked());
}

void GsmTab::runFollowup(IdentificationFollowup followup)
{
    if (followup == IdentificationFollowup::ReadDeviceSettings)
        ReadGSMParamsClick();
}

void GsmTab::modemSwitchedOff()
{
    for (int mode : gsm::kShapeModes)
        paintShapeNow(mode, false);
}

QPlainTextEdit* GsmTab::console() const
{
    return ui->GSMMemo;
}

void GsmTab::setWorkDir(const std::string& workDir)
{
    runDeviceAction(device_, nullptr, this, nullptr,
        [this, workDir](AppContext& device) { tests_.in(device).setWorkDir(workDir); }, [] {});
}

void GsmTab::stopStatusPoll()
{
    // Nothing to stop: every step runs with the tracker taken exclusively,
    // so the polls are paused already and go on after it.
}

void GsmTab::paintShape(int mode, bool passed)
{
    onGuiThread(this, [this, mode, passed] { paintShapeNow(mode, passed); });
}

void GsmTab::paintShapeNow(int mode, bool passed)
{
    auto* shape = findChild<ShapeWidget*>(QStringLiteral("Mode%1").arg(mode));
    if (!shape)
        return;
    shape->setBrushColor(passed ? kGreen : colors::kRed);
    shape->setBrushStyle(passed ? Qt::DiagCrossPattern : Qt::SolidPattern);
}

template <class Action>
void GsmTab::run(QPushButton* button, Action action)
{
    // Every modem step is greyed while it waits its turn or runs, so a
    // double click starts it once; no poll comes between its exchanges.
    takeTrackerExclusively(device_, button, this, button,
        [this, action = std::move(action)](AppContext& device, const std::atomic<bool>&) mutable {
            action(tests_.in(device));
        }, [] {});
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
    runDeviceAction(device_, ui->ReadGSMParams, this, ui->ReadGSMParams,
        [](AppContext& device) { return gsm::ReadDeviceSettings(device); },
        [this](const gsm::DeviceSettings& found) {
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
    run(ui->Button13, [](gsm::ModemTests& tests) { tests.powerOff(); });
}

void GsmTab::Button1Click()
{
    const int sim = ui->SIMComboBox->currentIndex();
    run(ui->Button1, [sim](gsm::ModemTests& tests) { tests.powerOn(sim); });
}

void GsmTab::Button2Click()
{
    run(ui->Button2, [](gsm::ModemTests& tests) { tests.pinStatus(); });
}

void GsmTab::Button3Click()
{
    const std::string pin = bytes(ui->PIN);
    run(ui->Button3, [pin](gsm::ModemTests& tests) { tests.pinEntry(pin); });
}

void GsmTab::Button4Click()
{
    run(ui->Button4, [](gsm::ModemTests& tests) { tests.settings(); });
}

void GsmTab::Button5Click()
{
    run(ui->Button5, [](gsm::ModemTests& tests) { tests.registration(); });
}

void GsmTab::Button6Click()
{
    run(ui->Button6, [](gsm::ModemTests& tests) { tests.gprsAvailability(); });
}

void GsmTab::Button7Click()
{
    const std::string apnapn = bytes(ui->apnapn);
    const std::string apnusr = bytes(ui->apnusr);
    const std::string apnpwd = bytes(ui->apnpwd);
    run(ui->Button7, [apnapn, apnusr, apnpwd](gsm::ModemTests& tests) { tests.gprsConnect(apnapn, apnusr, apnpwd); });
}

void GsmTab::Button8Click()
{
    const std::string ip = bytes(ui->ip);
    const std::string port = bytes(ui->Port);
    run(ui->Button8, [ip, port](gsm::ModemTests& tests) { tests.serverConnect(ip, port); });
}

void GsmTab::Button9Click()
{
    run(ui->Button9, [](gsm::ModemTests& tests) { tests.disconnect(); });
}

void GsmTab::Button10Click()
{
    const std::string telnum = bytes(ui->telnum);
    run(ui->Button10, [telnum](gsm::ModemTests& tests) { tests.call(telnum); });
}

void GsmTab::Button11Click()
{
    const std::string sms = bytes(ui->sms);
    run(ui->Button11, [sms](gsm::ModemTests& tests) { tests.sms(sms); });
}

void GsmTab::ATButtonClick()
{
    const std::string command = bytes(ui->ATCommand);
    const std::string timeoutText = bytes(ui->ATTimeOut);
    run(ui->ATButton, [command, timeoutText](gsm::ModemTests& tests) { tests.atConsole(command, timeoutText); });
}

void GsmTab::Button25Click()
{
    run(ui->Button25, [](gsm::ModemTests& tests) { tests.dnsParse(); });
}

void GsmTab::ButtonSoundClick()
{
    run(ui->ButtonSound, [](gsm::ModemTests& tests) { tests.microphone(); });
}

void GsmTab::Button22Click()
{
    run(ui->Button22, [](gsm::ModemTests& tests) { tests.speaker(); });
}

namespace gsm {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    auto* tab = new GsmTab(environment.device, page);
    tab->setWorkDir(environment.workDir);
    return tab;
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet2", .title = "GSM/GPRS", .make = makeTab,
        .minimumFirmware = GsmTab::kMinimumFirmware, .gatedControls = GsmTab::versionRules(),
        .console = TabConsole::Modem, .settingsSection = "GSM", .settings = kSettings,
        .followupFlag = kReadGsmAutoKey, .followup = IdentificationFollowup::ReadDeviceSettings};
    return registration;
}

}  // namespace gsm
}  // namespace ktx
