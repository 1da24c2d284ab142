#include "io/ui/InputsTab.h"

#include <QLocale>

#include "base/SettingsSection.h"
#include "widgets/DeviceActions.h"
#include "widgets/LivePlotPanel.h"
#include "widgets/SvgPixmap.h"
#include "io/ui/TabRegistration.h"
#include "widgets/PanelColors.h"
#include "base/TextCodec.h"
#include "link/SampleClock.h"
#include "ui_InputsTab.h"

static void initInputsTabResources() { Q_INIT_RESOURCE(inputs_tab); }

namespace ktx {
namespace {

// The default locale is the system's unless a test has set another.
QString decimalPoint() { return QLocale().decimalPoint(); }

constexpr TabTimer kStatusTimer{"Timer1", 200};
constexpr TabTimer kFrequencyTimer{"Timer6", 10000};
constexpr TabTimer kTimers[] = {kStatusTimer, kFrequencyTimer};

// AutoCheckBox: identification starts the status test too.
constexpr const char* kAutoStartKey = "AutoStart";
constexpr SettingKey kSettings[] = {{kAutoStartKey, SettingKind::Flag, "0"}};

// In the order of io::PlottedVolt; Timer1 polls every 200 ms.
const PlotSetup kVoltsPlot{"Inputs", "Напряжения", "В", 60'000, 200,
    {{"Питание", {200, 0, 0}}, {"Аккумулятор", {0, 0, 200}}, {"Аналог. 1", {0, 140, 0}}, {"Аналог. 2", {200, 120, 0}}},
    {360, 270}};

}  // namespace

InputsTab::InputsTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::InputsTab), device_(device), timer1_(makeTabTimer(this, kStatusTimer)),
      timer6_(makeTabTimer(this, kFrequencyTimer)), memory_(device)
{
    initInputsTabResources();
    ui->setupUi(this);

    const QString one = QStringLiteral("1") + decimalPoint() + QStringLiteral("0");
    for (QLineEdit* edit : {ui->Edit1, ui->Edit2, ui->Edit3, ui->Edit4})
        edit->setText(one);
    // The form's volt texts are written with a comma; before the first poll
    // they show the separator the polled values will use.
    for (QLabel* panel : {ui->VoltagePanel, ui->AinPanel1, ui->AinPanel2, ui->AkkPanel})
        panel->setText(panel->text().replace(u',', decimalPoint()));

    // Overlays lie over their pictures and show while the input reads 0.
    const QPixmap active = svgPixmap(QStringLiteral(":/io/input_on.svg"), ui->Image1->size());
    const QPixmap zero = svgPixmap(QStringLiteral(":/io/input_zero.svg"), ui->Image1z->size());
    for (QLabel* image : {ui->Image1, ui->Image2, ui->Image3, ui->Image4, ui->Image10, ui->Image11, ui->Image12,
             ui->Image13})
        image->setPixmap(active);
    for (QLabel* overlay : {ui->Image1z, ui->Image2z, ui->Image3z, ui->Image4z, ui->Image5z, ui->Image6z,
             ui->Image7z, ui->Image8z})
        overlay->setPixmap(zero);
    for (QFrame* frame : {ui->Panelv1, ui->Panelv2, ui->Panelv3, ui->Panelv4, ui->Panelv5, ui->Panelv6, ui->Panelv7,
             ui->Panelv8})
        colors::setBackground(frame, colors::kBtnFace);
    for (QLabel* panel : frequencyPanels())
        colors::setBackground(panel, colors::kBtnShadow);
    colors::setBackground(ui->Panel26, colors::kBtnFace);
    colors::setTextColor(ui->SerPanel, colors::kRed);
    // USB strings and device replies are shown as they are, never as markup.
    ui->SerPanel->setTextFormat(Qt::PlainText);
    ui->VerLabel->setTextFormat(Qt::PlainText);

    ui->OutShape->setKind(ShapeWidget::Kind::Circle);
    ui->OutShape2->setKind(ShapeWidget::Kind::Circle);
    ui->OutShape->setBrushColor(colors::kWhite);
    ui->OutShape2->setBrushColor(colors::kWhite);
    ui->Shape6->setKind(ShapeWidget::Kind::Bar);
    ui->Shape7->setKind(ShapeWidget::Kind::Bar);
    ui->Shape6->setBrushColor(colors::kGrey);
    ui->Shape7->setBrushColor(colors::kOrange);
    std::array<std::string, 8> startCounts;
    const auto counters = counterPanels();
    for (size_t i = 0; i < counters.size(); ++i)
        startCounts[i] = counters[i]->text().toStdString();
    runDeviceAction(device_, nullptr, this, nullptr,
        [this, startCounts](AppContext& device) { memory_.in(device).shownCounts = startCounts; }, [] {});

    connect(ui->Program, &QPushButton::clicked, this, &InputsTab::ProgramClick);
    // toggled, not clicked: the poll and other tabs change the check too.
    connect(ui->WorkBox, &QCheckBox::toggled, this, &InputsTab::WorkBoxClick);
    connect(ui->ButtonWork, &QPushButton::clicked, this, &InputsTab::ButtonWorkClick);
    connect(timer1_, &QTimer::timeout, this, &InputsTab::ButtonWorkClick);
    connect(timer6_, &QTimer::timeout, this, &InputsTab::Timer6Timer);

    connect(ui->OutBox, &QCheckBox::toggled, this, &InputsTab::OutBoxClick);
    connect(ui->OutBox2, &QCheckBox::toggled, this, &InputsTab::OutBox2Click);
    connect(ui->OutShape, &ShapeWidget::pressed, this, &InputsTab::OutButtonClick);
    connect(ui->Shape6, &ShapeWidget::pressed, this, &InputsTab::OutButtonClick);
    connect(ui->OutShape2, &ShapeWidget::pressed, this, &InputsTab::OutButton2Click);
    connect(ui->Shape7, &ShapeWidget::pressed, this, &InputsTab::OutButton2Click);
    // A right click has already toggled output 2 through its press; only the
    // keyboard's menu key toggles through the menu request.
    connect(ui->OutShape2, &ShapeWidget::menuRequested, this, [this](bool fromMouse) {
        if (!fromMouse)
            OutButton2Click();
    });
    plot_ = new LivePlotPanel(kVoltsPlot, sampleClockOf(device_.clock()), this);
}

InputsTab::~InputsTab()
{
    delete ui;
}

void InputsTab::ProgramClick()
{
    ui->WorkBox->setChecked(!ui->WorkBox->isChecked());
}

void InputsTab::startStatusTest()
{
    ui->WorkBox->setChecked(true);
}

void InputsTab::WorkBoxClick()
{
    // The poll's own memory belongs to the device worker.
    runDeviceAction(device_, nullptr, this, nullptr, [this](AppContext& device) {
        PollMemory& memory = memory_.in(device);
        memory.status.resetStamps();
        memory.frequencies.reset();
    }, [] {});
    if (ui->WorkBox->isChecked()) {
        timer1_->start();
        timer6_->start();
        showFrequencyWait();
    } else {
        stopTimers();
    }
}

void InputsTab::stopTimers()
{
    timer1_->stop();
    timer6_->stop();
}

void InputsTab::OutButtonClick()
{
    ui->OutBox->setChecked(!ui->OutBox->isChecked());
}

void InputsTab::OutButton2Click()
{
    ui->OutBox2->setChecked(!ui->OutBox2->isChecked());
}

void InputsTab::OutBoxClick()
{
    ui->OutShape->setBrushColor(ui->OutBox->isChecked() ? colors::kAqua : colors::kWhite);
}

void InputsTab::OutBox2Click()
{
    ui->OutShape2->setBrushColor(ui->OutBox2->isChecked() ? colors::kAqua : colors::kWhite);
}

void InputsTab::ButtonWorkClick()
{
    struct Polled {
        io::PollOutcome outcome;
        std::optional<io::StatusView> view;
        std::array<double, io::kPlottedVolts> volts{};
    };
    const bool out1 = ui->OutBox->isChecked();
    const bool out2 = ui->OutBox2->isChecked();
    const std::array<double, 4> scales = {
        scaleFactor(ui->Edit1), scaleFactor(ui->Edit2), scaleFactor(ui->Edit3), scaleFactor(ui->Edit4)};
    const std::string point = decimalPoint().toStdString();
    // A click shares the timer's key and merges with a poll already queued;
    // greying the button at every tick would only repaint it.
    runDeviceAction(device_, timer1_, this, nullptr,
        [this, out1, out2, scales, point](AppContext& device) {
            PollMemory& memory = memory_.in(device);
            Polled polled{memory.status.poll(out1, out2), std::nullopt};
            if (polled.outcome.opened) {
                polled.view = io::buildStatusView(
                    memory.status.record(), polled.outcome.addTest, device.device.version, scales, point);
                for (size_t i = 0; i < memory.shownCounts.size(); ++i)
                    if (polled.view->counters[i])
                        memory.shownCounts[i] = *polled.view->counters[i];
            }
            // A poll that did not get through leaves a gap, not a zero.
            polled.volts = io::plottedVolts(memory.status.record(), polled.outcome.deviceTestFields, device.device.version);
            return polled;
        },
        [this](const Polled& polled) {
            plot_->append(polled.volts);
            if (!polled.view) {
                if (ui->WorkBox->isChecked())
                    ui->WorkBox->setChecked(false);  // stops both timers
                else
                    stopTimers();  // started by hand: still make sure nothing polls on
                return;
            }
            colors::blinkHeartbeat(ui->Panel26);
            applyView(*polled.view);
        });
}


double InputsTab::scaleFactor(const QLineEdit* edit) const
{
    bool ok = false;
    const double value = QLocale().toDouble(edit->text(), &ok);
    return ok ? value : 1.0;
}

std::array<QLabel*, 8> InputsTab::counterPanels() const
{
    return {ui->Panel1, ui->Panel2, ui->Count3, ui->Count4, ui->Count5, ui->Count6, ui->Count7, ui->Count8};
}

std::array<QLabel*, 8> InputsTab::frequencyPanels() const
{
    return {ui->freq1, ui->freq2, ui->freq3, ui->freq4, ui->freq5, ui->freq6, ui->freq7, ui->freq8};
}

void InputsTab::applyView(const io::StatusView& view)
{
    ui->VoltageBar->setValue(view.bars[0]);
    ui->AinBar1->setValue(view.bars[1]);
    ui->AinBar2->setValue(view.bars[2]);
    ui->AkkBar->setValue(view.bars[3]);
    ui->VoltagePanel->setText(QString::fromStdString(view.voltagePanel));
    ui->AinPanel1->setText(QString::fromStdString(view.ainPanel1));
    ui->AinPanel2->setText(QString::fromStdString(view.ainPanel2));
    ui->AkkPanel->setText(QString::fromStdString(view.akkPanel));
    const std::array<QLabel*, 4> recs = {ui->PanelRec1, ui->PanelRec2, ui->PanelRec3, ui->PanelRec4};
    for (size_t i = 0; i < recs.size(); ++i)
        recs[i]->setText(QString::fromStdString(view.panelRec[i]));

    const auto counters = counterPanels();
    for (size_t i = 0; i < counters.size(); ++i)
        if (view.counters[i])
            counters[i]->setText(QString::fromStdString(*view.counters[i]));
    if (view.longCountersShown)
        for (size_t i = 4; i < counters.size(); ++i)
            counters[i]->setVisible(*view.longCountersShown);

    const std::array<QLabel*, 8> captions = {ui->in1, ui->in2, ui->in3, ui->in4, ui->in5, ui->in6, ui->in7, ui->in8};
    const std::array<QWidget*, 8> overlays = {ui->Image1z, ui->Image2z, ui->Image3z, ui->Image4z, ui->Image5z,
        ui->Image6z, ui->Image7z, ui->Image8z};
    const std::array<QFrame*, 8> frames = {ui->Panelv1, ui->Panelv2, ui->Panelv3, ui->Panelv4, ui->Panelv5,
        ui->Panelv6, ui->Panelv7, ui->Panelv8};
    for (size_t i = 0; i < captions.size(); ++i) {
        if (!view.inputs[i])
            continue;
        const io::InputLook& look = *view.inputs[i];
        captions[i]->setText(QString::fromStdString(look.caption));
        overlays[i]->setVisible(look.zeroOverlay);
        colors::setBackground(frames[i], look.alarm ? colors::kRed : colors::kBtnFace);
    }
}

void InputsTab::Timer6Timer()
{
    if (!timer1_->isActive()) {
        timer6_->stop();
        return;
    }
    // The counts and stamps are the worker's, from the same polls.
    runDeviceAction(device_, timer6_, this, nullptr,
        [this](AppContext& device) {
            PollMemory& memory = memory_.in(device);
            return memory.frequencies.tick(memory.shownCounts, memory.status.stamps());
        },
        [this](const io::FrequencyTick& tick) { showFrequencies(tick); });
}

void InputsTab::showFrequencyWait()
{
    const QString wait = QStringLiteral("ждите");
    for (QLabel* panel : frequencyPanels())
        panel->setText(wait);
    frequencyLogTexts_.fill(cp1251FromUtf8(wait.toStdString()));
}

void InputsTab::showFrequencies(const io::FrequencyTick& tick)
{
    const auto panels = frequencyPanels();
    for (size_t i = 0; i < panels.size(); ++i) {
        if (!tick.values[i] || !tick.captions[i])
            continue;
        const io::Frequency& value = *tick.values[i];
        panels[i]->setText(QChar::fromLatin1(value.mark) + QString::number(value.hz, 'f', 1).replace(u'.', decimalPoint())
                           + QStringLiteral(" Гц"));
        frequencyLogTexts_[i] = *tick.captions[i];
        // Flip the colour so that an unchanged value still shows as fresh.
        colors::alternateBackground(panels[i], colors::kBtnFace, colors::kBtnShadow);
    }
    if (!tick.writeLine)
        return;
    // Named after the device identification found: written where that is.
    runDeviceAction(device_, nullptr, this, nullptr,
        [line = io::frequencyLine(frequencyLogTexts_)](AppContext& device) {
            device.log.streamLine("FREQUENCY", "FREQUENCYstream", line);
        },
        [] {});
}

void InputsTab::loadSettings(const SettingsSection& section)
{
    ui->AutoCheckBox->setChecked(section.flag(kAutoStartKey));
}

void InputsTab::saveSettings(SettingsSection& section) const
{
    section.setFlag(kAutoStartKey, ui->AutoCheckBox->isChecked());
}

void InputsTab::runFollowup(IdentificationFollowup followup)
{
    if (followup == IdentificationFollowup::StartStatusTest)
        startStatusTest();
}

bool InputsTab::windowCommand(WindowCommand command)
{
    if (command == WindowCommand::SwitchOutput1)
        OutButtonClick();
    else
        ui->Program->click();
    return true;
}

void InputsTab::showSerialText(const QString& text)
{
    ui->SerPanel->setText(text);
}

void InputsTab::showVersionText(const QString& text)
{
    ui->VerLabel->setText(text);
}

void InputsTab::setVersionColour(const QColor& colour)
{
    colors::setCaptionAndTextColor(ui->VerLabel, colour);
}

QPlainTextEdit* InputsTab::console() const
{
    return ui->DebugMemo;
}

namespace io {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    auto* tab = new InputsTab(environment.device, page);
    tab->setObjectName(QStringLiteral("InputsTab"));
    return tab;
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet1", .title = "Входы и выходы", .make = makeTab,
        .timers = kTimers, .console = TabConsole::Debug, .settingsSection = "CONFIG", .settings = kSettings,
        .followupFlag = kAutoStartKey, .followup = IdentificationFollowup::StartStatusTest};
    return registration;
}

}  // namespace io
}  // namespace ktx
