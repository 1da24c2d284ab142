#include "app/ui/TKorvantixtest.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QCloseEvent>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QProxyStyle>
#include <QPushButton>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>
#include <QTimer>
#include <algorithm>

#include "app/Settings.h"
#include "base/Version.h"
#include "app/ui/AboutTab.h"
#include "base/FileWriter.h"
#include "widgets/DeviceActions.h"
#include "widgets/LazyPage.h"
#include "widgets/StartupProbe.h"
#include "widgets/LivePlotPanel.h"
#include "app/ui/ExitNotice.h"
#include "app/ui/FocusKeeper.h"
#include "app/ui/HistoryAction.h"
#include "app/ui/ProtocolAction.h"
#include "app/ui/AreaTabs.h"
#include "base/AreaList.h"
#include "base/TextCodec.h"
#include "widgets/ConsoleTab.h"
#include "widgets/TabRegistration.h"
#include "widgets/VersionRules.h"
#include "gsm/ModemTests.h"
#include "ui_TKorvantixtest.h"

namespace ktx {
namespace {

constexpr int kClientWidth = 785;
constexpr int kClientHeight = 449;
constexpr int kPlugPollMs = 250;
const QColor kGreen(0, 128, 0);
// The Z key under a Russian layout reports "Я" (Qt gives Unicode for letters).
constexpr int kCyrillicYaKey = 0x042F;

// A control the user types into; it passes on the keys it does not take.
bool takesText(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QComboBox*>(widget);
}

// The room a tab's title gets either side, and the tool row's buttons.
constexpr int kTabTitleMargin = 6;
constexpr int kToolButtonPadding = 14;
constexpr int kToolRowSpacing = 2;

// The tab bar's titles with a narrow margin, as on the designed window.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 2 * kTabTitleMargin;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The window keeps its designed width while the tabs' titles and the tool
// row fit in it; more tabs widen it to what they need, so that no title is
// ever cut or scrolled. It stays one fixed size either way.
void fitWidthToTabTitles(QWidget& window, QTabWidget& pages, QWidget& toolRow)
{
    const int needed = pages.tabBar()->sizeHint().width() + toolRow.sizeHint().width();
    const int width = std::max(kClientWidth, needed);
    pages.resize(width, pages.height());
    window.setFixedSize(width, kClientHeight);
}

// The areas' tabs in the build's order; the About page follows them.
#define KTX_TAB_REGISTRATION(area) &area::tabRegistration(),
const TabRegistration* const kAreaTabs[] = {KTX_FOR_EACH_AREA(KTX_TAB_REGISTRATION)};
#undef KTX_TAB_REGISTRATION
constexpr int kAreaTabCount = static_cast<int>(std::size(kAreaTabs));
constexpr const char* kAboutPageName = "TabSheet3";
constexpr const char* kAboutTitle = "О программе";

Consoles::Console consoleOf(TabConsole console)
{
    switch (console) {
    case TabConsole::Modem:
        return Consoles::Modem;
    case TabConsole::Rs485:
        return Consoles::Rs485;
    case TabConsole::Telit:
        return Consoles::Telit;
    default:
        return Consoles::Debug;
    }
}

// The modem switched off on behalf of another tab: its console lines are the
// modem console's; the shapes are the GSM tab's own business.
class QuietModemView : public gsm::ModemView {
public:
    void stopStatusPoll() override {}
    void paintShape(int, bool) override {}
};

QString fromCp1251(const std::string& bytes)
{
    return QString::fromStdString(utf8FromCp1251(bytes));
}

// Identification on the device worker: what it shows goes to the window on
// the GUI thread; what it reads from the form was read when it was queued.
class QueuedIdentificationView : public IdentificationView {
public:
    QueuedIdentificationView(IdentificationView& window, QObject* windowObject)
        : window_(window), windowObject_(windowObject),
          readGsmAuto_(window.readGsmAutoChecked()), autoCheck_(window.autoCheckChecked())
    {
    }

    void showSerialText(const std::string& serialText) override
    {
        toWindow([serialText](IdentificationView& w) { w.showSerialText(serialText); });
    }
    void showVersionText(const std::string& versionText) override
    {
        toWindow([versionText](IdentificationView& w) { w.showVersionText(versionText); });
    }
    void setVersionColourGreen(bool green) override
    {
        toWindow([green](IdentificationView& w) { w.setVersionColourGreen(green); });
    }
    // A copy: the worker's device goes on changing with the next identification.
    void applyFirmware(const DeviceInfo& device) override
    {
        toWindow([device](IdentificationView& w) { w.applyFirmware(device); });
    }
    bool readGsmAutoChecked() const override { return readGsmAuto_; }
    bool autoCheckChecked() const override { return autoCheck_; }
    // Both queue their own actions, behind this one.
    void readGsmParams() override
    {
        toWindow([](IdentificationView& w) { w.readGsmParams(); });
    }
    void startStatusTest() override
    {
        toWindow([](IdentificationView& w) { w.startStatusTest(); });
    }

private:
    template <class Call>
    void toWindow(Call call)
    {
        IdentificationView* window = &window_;
        onGuiThread(windowObject_, [window, call] { call(*window); });
    }

    IdentificationView& window_;
    QObject* windowObject_;
    const bool readGsmAuto_;
    const bool autoCheck_;
};

}  // namespace

std::span<const TabRegistration* const> TKorvantixtest::areaTabs() { return kAreaTabs; }

QEvent::Type TKorvantixtest::deviceChangeEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TKorvantixtest::TKorvantixtest(FtDriver& driver, TimeSource& time, const std::string& workDir, QWidget* parent)
    : QWidget(parent),
      settingsPath_(workDir + "/" + kSettingsFileName),
      consoles_(time, workDir),
      storage_(workDir, consoles_),
      deviceSide_(driver, time, consoles_),
      form_(new Ui::TKorvantixtest)
{
    form_->setupUi(this);
    setWindowTitle(windowTitle() + QStringLiteral(" " KTX_VERSION));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFocusPolicy(Qt::StrongFocus);
    new FocusKeeper(this);

    deviceChangeKey_ = new QObject(this);
    deviceChangeKey_->setObjectName(QStringLiteral("DeviceChange"));
    connect(&deviceActions(), &DeviceActions::idle, this, &TKorvantixtest::closeAfterRunningAction);

    workDir_ = workDir;
    settings_.sections = settingsSections();
    addPages();
    // The first tab is the one shown, and it holds the debug console.
    tab(0);
    storage_.checkWorkDir();

    connect(form_->PageControl1, &QTabWidget::currentChanged, this, &TKorvantixtest::PageControl1Change);
    installProtocolAction(*this);
    installHistoryAction(*this);

    quitAfterFirstPaintWhenProbed(this);

    // Identification runs once as soon as the event loop starts, as if a
    // tracker had just been plugged in.
    postDeviceChange();
}

TKorvantixtest::~TKorvantixtest()
{
    // The running action ends before anything it uses goes.
    deviceSide_.stopWorker();
    // Settings that were never read are not written: the controls would hold
    // design texts and overwrite the user's file.
    if (shown_ && !settingsSaved_) {
        settingsSaved_ = true;
        FormDestroy();
    }
    // The tabs hold references to the context: they go before it does.
    delete form_->PageControl1;
    delete form_;
}

void TKorvantixtest::addPages()
{
    QTabWidget* pages = form_->PageControl1;
    for (int index = 0; index <= kAreaTabCount; ++index) {
        const bool about = index == kAreaTabCount;
        auto* page = new LazyPage(QString::fromLatin1(about ? kAboutPageName : kAreaTabs[index]->pageName),
                                  [this, index](QWidget* page) { return buildTab(index, page); }, pages);
        pages_.push_back(page);
        tabs_.push_back(nullptr);
        pages->addTab(page, QString::fromUtf8(about ? kAboutTitle : kAreaTabs[index]->title));
    }
    pages->setCurrentIndex(0);
    // Every title, whole, and the tool row share the bar's one line: the
    // titles get a narrow margin, never an ellipsis or scroll arrows.
    QTabBar* bar = pages->tabBar();
    auto* compact = new CompactTabStyle;
    compact->setParent(bar);
    bar->setStyle(compact);
    bar->setElideMode(Qt::ElideNone);
    bar->setUsesScrollButtons(false);
    toolRow_ = new QWidget(pages);
    toolRow_->setObjectName(QStringLiteral("ToolRow"));
    auto* row = new QHBoxLayout(toolRow_);
    row->setContentsMargins(0, 0, kToolRowSpacing, 0);
    row->setSpacing(kToolRowSpacing);
    pages->setCornerWidget(toolRow_, Qt::TopRightCorner);
    fitWidthToTabTitles(*this, *pages, *toolRow_);
}

QPushButton* TKorvantixtest::addToolButton(const QString& text, const QString& objectName)
{
    QTabWidget* pages = form_->PageControl1;
    auto* button = new QPushButton(text, toolRow_);
    button->setObjectName(objectName);
    // As narrow as its text allows: the style's minimum width would push
    // the last tab's title off the bar.
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(text) + kToolButtonPadding);
    toolRow_->layout()->addWidget(button);
    toolRow_->adjustSize();
    // The tab widget lays its corner out again only when it is set, and
    // hides the one it replaces, the same one here.
    pages->setCornerWidget(toolRow_, Qt::TopRightCorner);
    toolRow_->show();
    fitWidthToTabTitles(*this, *pages, *toolRow_);
    return button;
}

ConsoleTab* TKorvantixtest::tab(int index)
{
    pages_[index]->content();
    return tabs_[index];
}

std::vector<SettingsSection> TKorvantixtest::settingsSections()
{
    std::vector<SettingsSection> sections;
    for (const TabRegistration* registration : kAreaTabs)
        sections.emplace_back(registration->settingsSection, registration->settings);
    return sections;
}

bool TKorvantixtest::isTabBuilt(int index) const
{
    return index >= 0 && index < tabCount() && pages_[index]->isBuilt();
}

int TKorvantixtest::tabIndex(const QString& pageName) const
{
    for (int index = 0; index < tabCount(); ++index)
        if (pages_[index]->objectName() == pageName)
            return index;
    return -1;
}

QWidget* TKorvantixtest::tabWidget(int index)
{
    return pages_[index]->content();
}

// What the firmware identified last lacks is hidden (or greyed) on a tab.
void TKorvantixtest::applyGatedControls(QWidget& tab, int index) const
{
    applyVersionRules(tab, kAreaTabs[index]->gatedControls, firmware_.version);
}

std::vector<ConsoleTab*> TKorvantixtest::builtTabs() const
{
    std::vector<ConsoleTab*> built;
    for (ConsoleTab* made : tabs_)
        if (made)
            built.push_back(made);
    return built;
}

void TKorvantixtest::buildAllTabs()
{
    for (int index = 0; index < tabCount(); ++index)
        tab(index);
}

// A tab made late gets what the ones made at start-up got: the settings
// read, the firmware's rules, its console.
QWidget* TKorvantixtest::buildTab(int index, QWidget* page)
{
    QWidget* widget = makeTab(index, page);
    ConsoleTab* made = dynamic_cast<ConsoleTab*>(widget);
    tabs_[index] = made;
    if (settingsRead_ && index < kAreaTabCount) {
        made->loadSettings(settings_.sections[index]);
        restoreLivePlots(widget, settings_.window.plotsShown);
    }
    if (firmwareKnown_ && index < kAreaTabCount)
        applyGatedControls(*widget, index);
    return widget;
}

QWidget* TKorvantixtest::makeTab(int index, QWidget* page)
{
    if (index == kAreaTabCount) {
        about_ = new AboutTab(page);
        about_->setTitle(windowTitle());
        return about_;
    }
    const TabRegistration& registration = *kAreaTabs[index];
    const TabEnvironment environment{deviceAccess(), workDir_, [this] { FormDestroy(); },
        [this](AppContext& device) { switchModemOffInAction(device); }};
    QWidget* made = registration.make(environment, page);
    if (registration.console != TabConsole::None)
        consoles_.attach(consoleOf(registration.console), dynamic_cast<ConsoleTab*>(made)->console());
    return made;
}

// On the device worker, inside the action that asked for it.
void TKorvantixtest::switchModemOffInAction(AppContext& device)
{
    QuietModemView quiet;
    gsm::ModemTests(device, quiet, workDir_).powerOff();
    onGuiThread(this, [this] {
        for (ConsoleTab* built : builtTabs())
            built->modemSwitchedOff();
    });
}

AboutTab* TKorvantixtest::aboutTab()
{
    tab(kAreaTabCount);
    return about_;
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
    // The simulated tracker is the worker's: asked between two actions.
    connect(timer, &QTimer::timeout, this, [this, timer, poll = std::move(poll)] {
        DeviceActions::Action check;
        check.key = timer;
        check.owner = this;
        check.work = [this, poll] {
            if (poll())
                onGuiThread(this, [this] { postDeviceChange(); });
        };
        deviceActions().enqueue(std::move(check));
    });
    timer->start();
}

bool TKorvantixtest::event(QEvent* event)
{
    if (event->type() == deviceChangeEventType()) {
        identifyQueued();
        return true;
    }
    if (event->type() == QEvent::Paint && plotsPending_)
        QTimer::singleShot(0, this, &TKorvantixtest::restorePlotsOnce);
    return QWidget::event(event);
}

void TKorvantixtest::identifyQueued()
{
    // A plug or unplug comes before whatever was waiting.
    runDeviceActionFirst(deviceAccess(), deviceChangeKey_, this,
        [view = std::make_shared<QueuedIdentificationView>(*this, this)](AppContext& device) {
            identifyDevices(device, *view);
        });
}

void TKorvantixtest::writeDebugGeometry()
{
    // A plain file name only: written in the working directory.
    const QByteArray name = qgetenv("KTX_DEBUG_GEOMETRY");
    if (name.isEmpty() || name.contains('/') || name == "." || name == "..")
        return;
    QByteArray text;
    auto add = [&text](const QString& what, const QRect& global) {
        text += what.toUtf8() + ' ' + QByteArray::number(global.x()) + ' ' + QByteArray::number(global.y()) + ' '
            + QByteArray::number(global.width()) + ' ' + QByteArray::number(global.height()) + '\n';
    };
    add(QStringLiteral("window"), QRect(mapToGlobal(QPoint(0, 0)), size()));
    QTabBar* tabs = form_->PageControl1->tabBar();
    add(QStringLiteral("tabbar"), QRect(tabs->mapToGlobal(QPoint(0, 0)), tabs->size()));
    for (int i = 0; i < tabs->count(); ++i) {
        add(QStringLiteral("tab%1").arg(i), QRect(tabs->mapToGlobal(tabs->tabRect(i).topLeft()), tabs->tabRect(i).size()));
        // The width the title's text needs: a narrower tab shows it cut.
        add(QStringLiteral("tabtext%1").arg(i), QRect(0, 0, tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)), 0));
    }
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || !(qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget)))
            continue;
        add(widget->objectName(), QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
    }
    replaceFile("./" + name.toStdString(), std::string_view(text.constData(), static_cast<size_t>(text.size())));
}

void TKorvantixtest::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    writeDebugGeometry();
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
    const QRect available = current->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    // One wider than the screen keeps its title and first tabs on it.
    move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
}

void TKorvantixtest::FormShow()
{
    consoles_.DebugLevel = 2;
    readSettingsIntoTabs();
    activateWindow();
    setFocus();
    QGuiApplication::setApplicationDisplayName(windowTitle());
    if (windowHandle())
        windowHandle()->setTitle(windowTitle());
    if (about_)
        about_->setTitle(windowTitle());
}

void TKorvantixtest::readSettingsIntoTabs()
{
    settings_ = storage_.loadSettings(settingsSections());
    settingsRead_ = true;
    for (int index = 0; index < kAreaTabCount; ++index)
        if (tabs_[index])
            tabs_[index]->loadSettings(settings_.sections[index]);
    // The plots kept shown open beside the window once it is painted: by then
    // the window manager has framed it and the caption carries the program's
    // name, so they are placed and titled as Ctrl+G places them.
    plotsPending_ = true;
}

void TKorvantixtest::restorePlotsOnce()
{
    if (!plotsPending_)
        return;
    plotsPending_ = false;
    // Only those kept shown: one the user opened meanwhile stays open.
    for (LivePlotPanel* plot : findChildren<LivePlotPanel*>()) {
        const auto kept = settings_.window.plotsShown.find(plot->setup().name);
        if (kept != settings_.window.plotsShown.end() && kept->second)
            plot->setWanted(true);
    }
}

void TKorvantixtest::FormDestroy()
{
    saveSettings();
}

// A tab never built still holds what was read: those values go back as they came.
void TKorvantixtest::saveSettings()
{
    SettingsValues values = settings_;
    for (int index = 0; index < kAreaTabCount; ++index)
        if (tabs_[index])
            tabs_[index]->saveSettings(values.sections[index]);
    // Plots of tabs never built keep the state that was read; one kept shown
    // stays so when the window closes before it was restored.
    std::map<std::string, bool>& plots = values.window.plotsShown;
    for (const auto& [name, shown] : livePlotsWanted(this))
        plots[name] = shown || (plotsPending_ && plots[name]);
    storage_.saveSettings(values);
}

void TKorvantixtest::closeEvent(QCloseEvent* event)
{
    if (deviceActions().busy()) {
        // Nothing new starts; a check stops at its next wait, and the running
        // action (a modem flash above all, which is never cut off) ends
        // first, showing its progress, and the window closes after it.
        for (QTimer* timer : findChildren<QTimer*>())
            timer->stop();
        deviceActions().stopExclusive();
        deviceActions().shutDown();
        if (deviceActions().running()) {
            if (!closeAfterAction_)
                sayClosingAfterAction();
            closeAfterAction_ = true;
            event->ignore();
            return;
        }
    }
    if (shown_ && !settingsSaved_) {
        settingsSaved_ = true;
        FormDestroy();
        if (closingSignal_)
            printExitNotice(consoles_, storage_.exitMessage(), closingSignal_);
        else
            showExitNotice(this, storage_.exitMessage());
    }
    QWidget::closeEvent(event);
}

// A close that waits must say so, or the window seems to ignore it.
void TKorvantixtest::sayClosingAfterAction()
{
    const QString text = QStringLiteral("Окно закроется, когда закончится текущее действие с трекером");
    auto* notice = new QLabel(text, this);
    notice->setObjectName(QStringLiteral("ClosingNotice"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setAutoFillBackground(true);
    notice->setStyleSheet(QStringLiteral("QLabel { background: #ffffc0; color: black; border: 1px solid #a0a060; padding: 4px; }"));
    notice->adjustSize();
    notice->move((width() - notice->width()) / 2, height() - notice->height() - 4);
    notice->show();
    notice->raise();
    LogDebug(consoles_, 1, "%s", cp1251FromUtf8(text.toStdString()).c_str());
}

void TKorvantixtest::closeForSignal(int signalNumber)
{
    closingSignal_ = signalNumber;
    close();
}

void TKorvantixtest::closeAfterRunningAction()
{
    if (!closeAfterAction_)
        return;
    closeAfterAction_ = false;
    close();
}

void TKorvantixtest::PageControl1Change(int index)
{
    if (index < 0 || index >= tabCount())
        return;
    const ConsoleTab* shown = tab(index);
    for (ConsoleTab* hidden : builtTabs())
        if (hidden != shown && hidden->pollsOnlyWhileShown())
            hidden->stopPolls();
    // A tab that needs the channel alone has every poll paused while it is
    // shown; the polls' boxes and timers stay, and they go on once it is left.
    const bool holdPolls = shown->needsChannelAlone();
    if (holdPolls != pollsHeld_) {
        pollsHeld_ = holdPolls;
        if (holdPolls)
            deviceActions().holdPolls();
        else
            deviceActions().releasePolls();
    }
    // Only the page shown has its place in the window, once laid out.
    if (qEnvironmentVariableIsSet("KTX_DEBUG_GEOMETRY"))
        QTimer::singleShot(50, this, &TKorvantixtest::writeDebugGeometry);
}

void TKorvantixtest::keyPressEvent(QKeyEvent* event)
{
    if (!windowKey(event->key()))
        QWidget::keyPressEvent(event);
}

bool TKorvantixtest::windowKey(int key)
{
    QWidget* focus = QApplication::focusWidget();
    switch (key) {
    case Qt::Key_Z:
    case kCyrillicYaKey:
    case Qt::Key_F11:
        // Only while no control has the focus: a check box or button passes
        // these keys on, and they are not meant for the output there.
        if (focus && focus != this)
            return false;
        return toTabs(WindowCommand::SwitchOutput1);
    case Qt::Key_Escape:
        // Program is the window's cancel button, but not for an edit, which
        // passes Esc on, and not beside a tab that has paused every poll to
        // have the channel alone (the GSM tab's modem tests).
        if (takesText(focus) || tab(form_->PageControl1->currentIndex())->needsChannelAlone())
            return false;
        return toTabs(WindowCommand::StartStopStatusTest);
    default:
        return false;
    }
}

bool TKorvantixtest::tabFollows(int index, IdentificationFollowup followup) const
{
    const TabRegistration& registration = *kAreaTabs[index];
    if (!registration.followupFlag || registration.followup != followup)
        return false;
    SettingsSection now = settings_.sections[index];
    if (tabs_[index])
        tabs_[index]->saveSettings(now);
    return now.flag(registration.followupFlag);
}

bool TKorvantixtest::anyTabFollows(IdentificationFollowup followup) const
{
    for (int index = 0; index < kAreaTabCount; ++index)
        if (tabFollows(index, followup))
            return true;
    return false;
}

// A tab not built yet is built for it, as a click on it would.
void TKorvantixtest::runFollowup(IdentificationFollowup followup)
{
    for (int index = 0; index < kAreaTabCount; ++index)
        if (tabFollows(index, followup))
            tab(index)->runFollowup(followup);
}

bool TKorvantixtest::toTabs(WindowCommand command)
{
    for (ConsoleTab* built : builtTabs())
        if (built->windowCommand(command))
            return true;
    return false;
}

void TKorvantixtest::showSerialText(const std::string& serialText)
{
    for (ConsoleTab* built : builtTabs())
        built->showSerialText(fromCp1251(serialText));
}

void TKorvantixtest::showVersionText(const std::string& versionText)
{
    for (ConsoleTab* built : builtTabs())
        built->showVersionText(fromCp1251(versionText));
}

void TKorvantixtest::setVersionColourGreen(bool green)
{
    for (ConsoleTab* built : builtTabs())
        built->setVersionColour(green ? kGreen : QColor(Qt::black));
}

void TKorvantixtest::applyFirmware(const DeviceInfo& device)
{
    firmwareKnown_ = true;
    firmware_ = device;
    QTabWidget* pages = form_->PageControl1;
    {
        // Disabling the current tab makes Qt move to another one; the user's
        // page stays, and no tab-change handler runs for a change nobody made.
        const QSignalBlocker blocker(pages);
        const int current = pages->currentIndex();
        for (int index = 0; index < kAreaTabCount; ++index)
            pages->setTabEnabled(index, device.version >= kAreaTabs[index]->minimumFirmware);
        pages->setCurrentIndex(current);
    }
    // Tabs built later get the rules when they are made.
    for (int index = 0; index < kAreaTabCount; ++index)
        if (tabs_[index])
            applyGatedControls(*pages_[index]->content(), index);
}

bool TKorvantixtest::readGsmAutoChecked() const
{
    return anyTabFollows(IdentificationFollowup::ReadDeviceSettings);
}

bool TKorvantixtest::autoCheckChecked() const
{
    return anyTabFollows(IdentificationFollowup::StartStatusTest);
}

void TKorvantixtest::readGsmParams()
{
    runFollowup(IdentificationFollowup::ReadDeviceSettings);
}

void TKorvantixtest::startStatusTest()
{
    runFollowup(IdentificationFollowup::StartStatusTest);
}

}  // namespace ktx
