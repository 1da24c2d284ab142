#include "app/ui/TKorvantixtest.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>
#include <QTimer>

#include "accel/ui/AccelTab.h"
#include "link/RealTimeSource.h"
#include "app/Settings.h"
#include "app/Version.h"
#include "app/ui/AboutTab.h"
#include "app/ui/ActionGuard.h"
#include "can/ui/CanTab.h"
#include "gnss/ui/GnssTab.h"
#include "gsm/ui/GsmTab.h"
#include "telit/ui/TelitTab.h"
#include "io/ui/InputsTab.h"
#include "base/TextCodec.h"
#include "onewire/ui/OneWireTab.h"
#include "rs485/ui/Rs485Tab.h"
#include "ui_AboutTab.h"
#include "ui_AccelTab.h"
#include "ui_CanTab.h"
#include "ui_GsmTab.h"
#include "ui_InputsTab.h"
#include "ui_OneWireTab.h"
#include "ui_Rs485Tab.h"
#include "ui_TKorvantixtest.h"
#include "ui_TelitTab.h"

namespace ktx {
namespace {

constexpr int kClientWidth = 785;
constexpr int kClientHeight = 449;
constexpr int kPlugPollMs = 250;
const QColor kGreen(0, 128, 0);
// The Z key under a Russian layout reports "Я" (Qt gives Unicode for letters).
constexpr int kCyrillicYaKey = 0x042F;

QString fromCp1251(const std::string& bytes)
{
    return QString::fromStdString(utf8FromCp1251(bytes));
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

}  // namespace

QEvent::Type TKorvantixtest::deviceChangeEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TKorvantixtest::TKorvantixtest(FtDriver& driver, TimeSource& time, const std::string& workDir, QWidget* parent)
    : QWidget(parent),
      settingsPath_(workDir + "/" + kSettingsFileName),
      link_(driver, time),
      consoles_(time, workDir),
      context_{link_, time, consoles_, device_},
      ui(new Ui::TKorvantixtest)
{
    ui->setupUi(this);
    setWindowTitle(windowTitle() + QStringLiteral(" " KTX_VERSION));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFocusPolicy(Qt::StrongFocus);

    Timer1 = makeTimer("Timer1", 200);
    Timer2 = makeTimer("Timer2", 125);
    Timer3 = makeTimer("Timer3", 250);
    Timer4 = makeTimer("Timer4", 1000);
    Timer5 = makeTimer("Timer5", 1000);
    Timer6 = makeTimer("Timer6", 10000);
    TimerAccel = makeTimer("TimerAccel", 100);

    buildTabs();
    telit_->setWorkDir(workDir);
    gsm_->setWorkDir(workDir);
    can_->setWorkDir(workDir);
    consoles_.attach(inputs_->ui->DebugMemo, gsm_->ui->GSMMemo, rs485_->ui->memo485, telit_->ui->TelitMemo);
    consoles_.setSerialSource([this] { return device_.serialText; });

    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TKorvantixtest::PageControl1Change);
    connect(telit_->ui->Button29, &QPushButton::clicked, this, &TKorvantixtest::FormDestroy);

    // On the real clock the window stays alive while an action waits.
    if (auto* realTime = dynamic_cast<RealTimeSource*>(&time))
        actionGuard_ = std::make_unique<ActionGuard>(*this, *realTime, deviceChangeEventType());

    // Identification runs once as soon as the event loop starts, as if a
    // tracker had just been plugged in.
    postDeviceChange();
}

TKorvantixtest::~TKorvantixtest()
{
    // Settings that were never read are not written: the controls would hold
    // design texts and overwrite the user's file.
    if (shown_ && !settingsSaved_) {
        settingsSaved_ = true;
        FormDestroy();
    }
    // The tabs hold references to the context: they go before it does.
    delete ui->PageControl1;
    delete ui;
}

QTimer* TKorvantixtest::makeTimer(const char* name, int intervalMs)
{
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}

void TKorvantixtest::buildTabs()
{
    QTabWidget* pages = ui->PageControl1;
    inputs_ = new InputsTab(context_, Timer1, Timer6, pages);
    inputs_->setObjectName(QStringLiteral("TabSheet1"));
    gsm_ = new GsmTab(context_, Timer1, pages);
    gnss_ = new GnssTab(context_, pages);
    oneWire_ = new OneWireTab(context_, Timer4, pages);
    rs485_ = new Rs485Tab(context_, Timer2, Timer5, pages);
    can_ = new CanTab(context_, Timer3, pages);
    accel_ = new AccelTab(context_, TimerAccel, pages);
    telit_ = new TelitTab(context_, {Timer1, Timer2, Timer3, Timer4, Timer5}, pages);
    telit_->powerOffModem = [this] { gsm_->Button13Click(); };
    about_ = new AboutTab(pages);

    pages->addTab(inputs_, QStringLiteral("Входы и выходы"));
    pages->addTab(gsm_, QStringLiteral("GSM/GPRS"));
    pages->addTab(gnss_, QStringLiteral("GPS/ГЛОНАСС"));
    pages->addTab(oneWire_, QStringLiteral("1WIRE"));
    pages->addTab(rs485_, QStringLiteral("485/LLS"));
    pages->addTab(can_, QStringLiteral("CAN"));
    pages->addTab(accel_, QStringLiteral("Акселерометр"));
    pages->addTab(telit_, QStringLiteral("TELIT"));
    pages->addTab(about_, QStringLiteral("О программе"));
    pages->setCurrentIndex(0);
}

void TKorvantixtest::postDeviceChange()
{
    QCoreApplication::postEvent(this, new QEvent(deviceChangeEventType()));
}

void TKorvantixtest::watchPlugChanges(std::function<bool()> poll)
{
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("PlugPollTimer"));
    timer->setInterval(kPlugPollMs);
    connect(timer, &QTimer::timeout, this, [this, poll = std::move(poll)] {
        if (poll())
            postDeviceChange();
    });
    timer->start();
}

bool TKorvantixtest::event(QEvent* event)
{
    if (event->type() == deviceChangeEventType()) {
        identifyDevices(context_, *this);
        return true;
    }
    return QWidget::event(event);
}

void TKorvantixtest::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    centreOnScreen();
    FormShow();
}

void TKorvantixtest::centreOnScreen()
{
    QScreen* current = screen();
    if (!current)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(current->availableGeometry().center());
    move(frame.topLeft());
}

void TKorvantixtest::FormShow()
{
    consoles_.DebugLevel = 2;
    readSettingsIntoControls();
    can_->writeGridHeaders();
    can_->resetLastDecoded();
    setTextColour(oneWire_->ui->GroupBox16, kGreen);
    activateWindow();
    setFocus();
    QGuiApplication::setApplicationDisplayName(windowTitle());
    if (windowHandle())
        windowHandle()->setTitle(windowTitle());
    about_->ui->Label79->setText(windowTitle());
}

void TKorvantixtest::readSettingsIntoControls()
{
    const SettingsValues values = readSettings(settingsPath_);
    inputs_->ui->AutoCheckBox->setChecked(values.autoStart);
    Ui::GsmTab* g = gsm_->ui;
    g->PIN->setText(QString::fromStdString(values.pin));
    g->apnapn->setText(QString::fromStdString(values.apnapn));
    g->apnusr->setText(QString::fromStdString(values.apnusr));
    g->apnpwd->setText(QString::fromStdString(values.apnpwd));
    g->ip->setText(QString::fromStdString(values.ip));
    g->Port->setText(QString::fromStdString(values.port));
    g->telnum->setText(QString::fromStdString(values.telnum));
    g->sms->setText(QString::fromStdString(values.sms));
    g->ReadGSMAuto->setChecked(values.readGsmAuto);
    const auto edits = rs485_->addressEdits();
    for (size_t i = 0; i < edits.size(); ++i)
        edits[i]->setText(QString::fromStdString(values.llsAddr[i]));
}

void TKorvantixtest::FormDestroy()
{
    SettingsValues values;
    values.autoStart = inputs_->ui->AutoCheckBox->isChecked();
    Ui::GsmTab* g = gsm_->ui;
    values.pin = g->PIN->text().toStdString();
    values.apnapn = g->apnapn->text().toStdString();
    values.apnusr = g->apnusr->text().toStdString();
    values.apnpwd = g->apnpwd->text().toStdString();
    values.ip = g->ip->text().toStdString();
    values.port = g->Port->text().toStdString();
    values.telnum = g->telnum->text().toStdString();
    values.sms = g->sms->text().toStdString();
    values.readGsmAuto = g->ReadGSMAuto->isChecked();
    const auto edits = rs485_->addressEdits();
    for (size_t i = 0; i < edits.size(); ++i)
        values.llsAddr[i] = edits[i]->text().toStdString();
    // An unwritable directory loses the settings silently.
    writeSettings(settingsPath_, values);
}

void TKorvantixtest::closeEvent(QCloseEvent* event)
{
    if (shown_ && !settingsSaved_) {
        settingsSaved_ = true;
        FormDestroy();
    }
    QWidget::closeEvent(event);
}

void TKorvantixtest::PageControl1Change(int index)
{
    QWidget* page = ui->PageControl1->widget(index);
    if (page == gsm_) {
        // The modem tests need the channel to themselves.
        inputs_->ui->WorkBox->setChecked(false);
        rs485_->ui->CheckBox1->setChecked(false);
        can_->ui->CheckBox2->setChecked(false);
    }
    if (page != accel_)
        accel_->stopTest();
}

void TKorvantixtest::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Z:
    case kCyrillicYaKey:
    case Qt::Key_F11:
        inputs_->OutButtonClick();
        return;
    case Qt::Key_Escape:
        // Program is the window's cancel button.
        inputs_->ui->Program->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TKorvantixtest::showSerialText(const std::string& serialText)
{
    inputs_->ui->SerPanel->setText(fromCp1251(serialText));
}

void TKorvantixtest::showVersionText(const std::string& versionText)
{
    inputs_->ui->VerLabel->setText(fromCp1251(versionText));
}

void TKorvantixtest::setVersionColourGreen(bool green)
{
    setTextColour(inputs_->ui->VerLabel, green ? kGreen : QColor(Qt::black));
}

void TKorvantixtest::applyRule(const VersionRule& rule, bool on)
{
    const QString name = QString::fromLatin1(rule.name);
    QTabWidget* pages = ui->PageControl1;
    if (rule.isTab) {
        // Disabling the current tab makes Qt move to another one; the user's
        // page stays, and no tab-change handler runs for a change nobody made.
        const QSignalBlocker blocker(pages);
        const int current = pages->currentIndex();
        for (int i = 0; i < pages->count(); ++i) {
            if (pages->widget(i)->objectName() == name)
                pages->setTabEnabled(i, on);
        }
        pages->setCurrentIndex(current);
        return;
    }
    QWidget* control = findChild<QWidget*>(name);
    if (!control)
        return;
    if (rule.show)
        control->setVisible(on);
    if (rule.enable)
        control->setEnabled(on);
}

bool TKorvantixtest::readGsmAutoChecked() const
{
    return gsm_->ui->ReadGSMAuto->isChecked();
}

bool TKorvantixtest::autoCheckChecked() const
{
    return inputs_->ui->AutoCheckBox->isChecked();
}

void TKorvantixtest::readGsmParams()
{
    gsm_->ReadGSMParamsClick();
}

void TKorvantixtest::programClick()
{
    inputs_->ProgramClick();
}

}  // namespace ktx
