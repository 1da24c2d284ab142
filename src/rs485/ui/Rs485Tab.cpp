#include "rs485/ui/Rs485Tab.h"

#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

#include "base/SettingsSection.h"
#include "widgets/DeviceActions.h"
#include "widgets/LivePlotPanel.h"
#include "widgets/PanelColors.h"
#include "widgets/StyledShape.h"
#include "widgets/SvgPixmap.h"
#include "base/TextCodec.h"
#include "link/SampleClock.h"
#include "rs485/ui/TabRegistration.h"
#include "ui_Rs485Tab.h"

static void initRs485TabResources() { Q_INIT_RESOURCE(rs485_tab); }

namespace ktx {
namespace {

// Caption colours of the eight slots, in slot order.
const QColor kSlotColors[rs485::kFuelSlots] = {{0, 128, 0}, {0, 0, 128}, {128, 0, 0}, {128, 0, 128},
    {0, 0, 255}, {255, 0, 0}, {0, 128, 128}, {128, 128, 0}};
const QColor kCaptionGreen{119, 255, 119};

// The eight levels, each in its slot's caption colour; Timer2 polls every 125 ms.
PlotSetup levelsPlot()
{
    static const char* const kNames[rs485::kFuelSlots] = {"Датчик 1", "Датчик 2", "Датчик 3", "Датчик 4", "Датчик 5",
        "Датчик 6", "Датчик 7", "Датчик 8"};
    PlotSetup setup{"Rs485", "Уровни топлива", "уровень", 300'000, 125, {}, {680, 170}};
    for (int i = 0; i < rs485::kFuelSlots; ++i)
        setup.series.push_back({kNames[i], kSlotColors[i]});
    return setup;
}

// Where the pieces of a fuel slot sit (the slot is 91 × 146).
constexpr QRect kAddressLabel{6, 16, 60, 14};
constexpr QRect kAddressEdit{6, 30, 79, 22};
constexpr QRect kLevelBar{8, 56, 22, 62};
constexpr QRect kLevelPanel{6, 122, 79, 20};
constexpr QRect kDegreeT{34, 78, 12, 20};
constexpr QRect kDegreeO{45, 72, 9, 12};
constexpr QRect kTemperature{53, 74, 36, 26};

// Extender cells: two rows of eight inside GroupBox28.
constexpr int kCellLeft = 8;
constexpr int kCellTop = 24;
constexpr int kCellPitchX = 61;
constexpr int kCellPitchY = 76;
constexpr QSize kCaptionSize{57, 16};
constexpr QSize kCellSize{57, 42};
constexpr QRect kInnerPanel{4, 6, 17, 30};
constexpr QRect kPicture{24, 6, 30, 30};

// Back and front picture names of inputs 9 to 24.
struct CellPictures {
    int back;
    int front;
};
constexpr CellPictures kPictures[rs485::kExtenderInputs] = {{14, 9}, {15, 10}, {17, 11}, {19, 12}, {21, 13},
    {23, 14}, {25, 15}, {27, 16}, {16, 17}, {18, 18}, {20, 19}, {22, 20}, {24, 21}, {26, 22}, {28, 23}, {29, 24}};

QString fromCp1251(const std::string& bytes)
{
    return QString::fromStdString(utf8FromCp1251(bytes));
}

std::string toCp1251(const QString& text)
{
    return cp1251FromUtf8(text.toStdString());
}

QFont boldFont(const QFont& base, int pixelSize = 0)
{
    QFont font = base;
    font.setBold(true);
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

constexpr TabTimer kFuelTimer{"Timer2", 125};
constexpr TabTimer kExtenderTimer{"Timer5", 1000};
constexpr TabTimer kTimers[] = {kFuelTimer, kExtenderTimer};

// The sensors' addresses, LLSAddr1 to LLSAddr8.
constexpr SettingKey kSettings[] = {
    {"LLSAddr1", SettingKind::Text, "1"}, {"LLSAddr2", SettingKind::Text, "2"}, {"LLSAddr3", SettingKind::Text, "3"},
    {"LLSAddr4", SettingKind::Text, "4"}, {"LLSAddr5", SettingKind::Text, "5"}, {"LLSAddr6", SettingKind::Text, "6"},
    {"LLSAddr7", SettingKind::Text, "7"}, {"LLSAddr8", SettingKind::Text, "8"},
};
static_assert(std::size(kSettings) == rs485::kFuelSlots);

}  // namespace

Rs485Tab::Rs485Tab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::Rs485Tab), device_(device), timer2_(makeTabTimer(this, kFuelTimer)),
      timer5_(makeTabTimer(this, kExtenderTimer))
{
    initRs485TabResources();
    ui->setupUi(this);
    const std::array<QGroupBox*, rs485::kFuelSlots> groups = {ui->GroupBox6, ui->GroupBox7, ui->GroupBox8,
        ui->GroupBox9, ui->GroupBox10, ui->GroupBox11, ui->GroupBox12, ui->GroupBox13};
    for (size_t i = 0; i < groups.size(); ++i)
        slots_[i] = buildSlot(static_cast<int>(i) + 1, groups[i], kSlotColors[i]);
    for (int i = 0; i < rs485::kExtenderInputs; ++i)
        cells_[static_cast<size_t>(i)] = buildCell(rs485::kFirstExtenderInput + i, i % 8, i / 8);

    colors::setBackground(ui->Panel42, colors::kBlue);
    colors::setTextColor(ui->Panel42, colors::kYellow);
    ui->Panel42->setFont(boldFont(ui->Panel42->font()));

    shapeRash_ = new StyledShape(StyledShape::Outline::RoundRect, ui->GroupBox28);
    shapeRash_->setObjectName(QStringLiteral("ShapeRash"));
    shapeRash_->setGeometry(10, 184, 20, 20);
    shapeRash_->setBrushColor(colors::kWhite);
    shapeRash_->setCornerRadius(5);

    for (QWidget* hidden : std::initializer_list<QWidget*>{ui->Button12, ui->Button24, ui->RashirCommand,
             ui->RashirEdit, ui->Rashir})
        hidden->hide();

    showMessage_ = [this](const QString& text) {
        QMessageBox::critical(window(), QGuiApplication::applicationDisplayName(), text);
    };

    // toggled, not clicked: unchecking from code (a tab change) must stop the poll too.
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &Rs485Tab::CheckBox1Click);
    connect(ui->Button14, &QPushButton::clicked, this, &Rs485Tab::Button14Click);
    connect(ui->Button12, &QPushButton::clicked, this, &Rs485Tab::Button12Click);
    connect(ui->Button24, &QPushButton::clicked, this, &Rs485Tab::Button24Click);
    connect(timer2_, &QTimer::timeout, this, &Rs485Tab::Button12Click);
    connect(ui->RashirEnable, &QCheckBox::toggled, this, &Rs485Tab::RashirEnableClick);
    connect(ui->Button23, &QPushButton::clicked, this, &Rs485Tab::Button23Click);
    connect(ui->Rashir, &QPushButton::clicked, this, &Rs485Tab::RashirClick);
    connect(timer5_, &QTimer::timeout, this, &Rs485Tab::RashirClick);
    plot_ = new LivePlotPanel(levelsPlot(), sampleClockOf(device_.clock()), this);
}

Rs485Tab::~Rs485Tab()
{
    delete ui;
}

Rs485Tab::FuelSlot Rs485Tab::buildSlot(int number, QGroupBox* group, const QColor& captionColor)
{
    const QString n = QString::number(number);
    // The caption colour reaches the labels of the slot too; the edit and
    // the level panel keep their own.
    colors::setTextColor(group, captionColor);
    FuelSlot slot;
    auto* caption = new QLabel(QStringLiteral("Адрес"), group);
    caption->setGeometry(kAddressLabel);
    slot.address = new QLineEdit(n, group);
    slot.address->setObjectName(QStringLiteral("LLSAddr%1").arg(n));
    slot.address->setGeometry(kAddressEdit);
    caption->setBuddy(slot.address);

    slot.bar = new QProgressBar(group);
    slot.bar->setObjectName(QStringLiteral("LLSBar%1").arg(n));
    slot.bar->setOrientation(Qt::Vertical);
    slot.bar->setRange(0, rs485::kLevelBarMaximum);
    slot.bar->setValue(0);
    slot.bar->setTextVisible(false);
    slot.bar->setGeometry(kLevelBar);

    slot.level = new QLabel(QStringLiteral("---"), group);
    slot.level->setObjectName(QStringLiteral("LLSLevel%1").arg(n));
    slot.level->setGeometry(kLevelPanel);
    slot.level->setAlignment(Qt::AlignCenter);
    slot.level->setFrameShape(QFrame::Panel);
    slot.level->setFrameShadow(QFrame::Sunken);
    slot.level->setFont(boldFont(slot.level->font()));
    colors::setTextColor(slot.level, colors::kBlack);

    auto* t = new QLabel(QStringLiteral("Т"), group);
    t->setGeometry(kDegreeT);
    t->setFont(boldFont(t->font(), 14));
    auto* o = new QLabel(QStringLiteral("о"), group);
    o->setGeometry(kDegreeO);
    o->setFont(boldFont(o->font(), 10));
    slot.temperature = new QLabel(QStringLiteral("0"), group);
    slot.temperature->setObjectName(QStringLiteral("LLSTemper%1").arg(n));
    slot.temperature->setGeometry(kTemperature);
    slot.temperature->setFont(boldFont(slot.temperature->font(), 16));
    return slot;
}

Rs485Tab::InputCell Rs485Tab::buildCell(int input, int column, int row)
{
    const QString n = QString::number(input);
    const CellPictures& pictures = kPictures[input - rs485::kFirstExtenderInput];
    const bool plusGroup = input < rs485::kFirstExtenderInput + 8;
    const QPoint origin(kCellLeft + column * kCellPitchX, kCellTop + row * kCellPitchY);

    auto* caption = new QLabel(QStringLiteral("В %1").arg(n), ui->GroupBox28);
    caption->setGeometry(QRect(origin, kCaptionSize));
    caption->setAlignment(Qt::AlignCenter);
    caption->setFrameShape(QFrame::Panel);
    caption->setFrameShadow(QFrame::Raised);
    colors::setBackground(caption, kCaptionGreen);

    InputCell cell;
    cell.cell = new QFrame(ui->GroupBox28);
    cell.cell->setObjectName(QStringLiteral("Panelv%1").arg(n));
    cell.cell->setGeometry(QRect(origin + QPoint(0, kCaptionSize.height() + 2), kCellSize));
    cell.cell->setFrameShape(QFrame::Panel);
    cell.cell->setFrameShadow(QFrame::Raised);
    colors::setBackground(cell.cell, colors::kBtnFace);

    auto* inner = new QFrame(cell.cell);
    inner->setGeometry(kInnerPanel);
    inner->setFrameShape(QFrame::Panel);
    inner->setFrameShadow(QFrame::Sunken);
    colors::setBackground(inner, colors::kWhite);
    cell.value = new QLabel(QStringLiteral("0"), inner);
    cell.value->setObjectName(QStringLiteral("in%1").arg(n));
    cell.value->setGeometry(inner->rect());
    cell.value->setAlignment(Qt::AlignCenter);
    cell.value->setFont(boldFont(cell.value->font()));

    // 9..16: closed to "+" behind, open in front; 17..24: open to ground
    // behind, closed in front. The front one shows while the input reads 0.
    const QString back = plusGroup ? QStringLiteral(":/rs485/switch_plus_closed.svg")
                                   : QStringLiteral(":/rs485/switch_ground_open.svg");
    const QString front = plusGroup ? QStringLiteral(":/rs485/switch_plus_open.svg")
                                    : QStringLiteral(":/rs485/switch_ground_closed.svg");
    auto* backImage = new QLabel(cell.cell);
    backImage->setObjectName(QStringLiteral("Image%1").arg(pictures.back));
    backImage->setGeometry(kPicture);
    backImage->setPixmap(svgPixmap(back, kPicture.size()));
    cell.front = new QLabel(cell.cell);
    cell.front->setObjectName(QStringLiteral("Image%1z").arg(pictures.front));
    cell.front->setGeometry(kPicture);
    cell.front->setPixmap(svgPixmap(front, kPicture.size()));
    return cell;
}

void Rs485Tab::CheckBox1Click()
{
    if (!ui->CheckBox1->isChecked()) {
        timer2_->stop();
        return;
    }
    timer2_->start();
    for (FuelSlot& slot : slots_) {
        slot.bar->setValue(0);
        slot.level->setText(QStringLiteral("---"));
        slot.temperature->setText(QStringLiteral("-"));
    }
}

void Rs485Tab::Button14Click()
{
    ui->CheckBox1->setChecked(!ui->CheckBox1->isChecked());
}


void Rs485Tab::Button12Click()
{
    rs485::FuelAddresses addresses;
    for (size_t i = 0; i < slots_.size(); ++i)
        addresses[i] = toCp1251(slots_[i].address->text());
    runDeviceAction(device_, timer2_, this, nullptr,
        [addresses](AppContext& device) { return rs485::pollFuelSensors(device, addresses); },
        [this](const rs485::FuelOutcome& outcome) { showFuel(outcome); });
}

void Rs485Tab::showFuel(const rs485::FuelOutcome& outcome)
{
    plot_->append(rs485::plottedLevels(outcome.readings));
    if (!outcome.opened) {
        ui->CheckBox1->setChecked(false);
        timer2_->stop();  // also when the poll came from the hidden button
        return;
    }
    colors::blinkHeartbeat(ui->Panel42);
    if (!outcome.readings)
        return;
    for (size_t i = 0; i < slots_.size(); ++i) {
        const rs485::FuelReading& reading = (*outcome.readings)[i];
        slots_[i].bar->setValue(rs485::levelBarPosition(reading.level));
        slots_[i].level->setText(QString::number(reading.level));
        slots_[i].temperature->setText(QString::number(reading.temperature));
    }
}

void Rs485Tab::Button24Click()
{
    for (FuelSlot& slot : slots_) {
        const QString text = slot.address->text();
        const auto advanced = rs485::advancedAddress(toCp1251(text));
        if (!advanced) {
            // Earlier slots keep their new addresses; this and later ones stay.
            showMessage_(QStringLiteral("'%1' не является допустимым целым числом").arg(text));
            return;
        }
        slot.address->setText(QString::fromStdString(*advanced));
    }
}

void Rs485Tab::RashirClick()
{
    shapeRash_->setBrushColor(shapeRash_->brushColor() == colors::kRed ? colors::kWhite : colors::kRed);
    runDeviceAction(device_, timer5_, this, nullptr,
        [](AppContext& device) { return rs485::pollExtender(device); },
        [this](const rs485::ExtenderOutcome& outcome) { showExtender(outcome); });
}

void Rs485Tab::showExtender(const rs485::ExtenderOutcome& outcome)
{
    if (!outcome.opened) {
        ui->RashirEnable->setChecked(false);
        timer5_->stop();  // also when the poll came from the hidden button
        return;
    }
    ui->RashirCommand->setText(fromCp1251(outcome.command));
    ui->RashirEdit->setText(fromCp1251(outcome.reply));
    if (outcome.states)
        showInputs(*outcome.states);
}

void Rs485Tab::showInputs(const std::array<bool, rs485::kExtenderInputs>& states)
{
    for (size_t i = 0; i < cells_.size(); ++i) {
        cells_[i].value->setText(states[i] ? QStringLiteral("1") : QStringLiteral("0"));
        cells_[i].front->setVisible(!states[i]);
        colors::setBackground(cells_[i].cell, states[i] ? colors::kRed : colors::kBtnFace);
    }
}

void Rs485Tab::RashirEnableClick()
{
    const bool on = ui->RashirEnable->isChecked();
    if (on)
        timer5_->start();
    else
        timer5_->stop();
    ui->Button23->setText(on ? QStringLiteral("Выключить") : QStringLiteral("Включить"));
}

void Rs485Tab::Button23Click()
{
    ui->RashirEnable->setChecked(!ui->RashirEnable->isChecked());
}

namespace {

const VersionRule kVersionRules[] = {
    {53, "GroupBox5", false},
    {53, "CheckBox1", false},
    {53, "Button14", false},
};

}  // namespace

std::span<const VersionRule> Rs485Tab::versionRules()
{
    return kVersionRules;
}

void Rs485Tab::loadSettings(const SettingsSection& section)
{
    for (size_t i = 0; i < slots_.size(); ++i)
        slots_[i].address->setText(QString::fromStdString(section.text(kSettings[i].key)));
}

void Rs485Tab::saveSettings(SettingsSection& section) const
{
    for (size_t i = 0; i < slots_.size(); ++i)
        section.setText(kSettings[i].key, slots_[i].address->text().toStdString());
}

QPlainTextEdit* Rs485Tab::console() const
{
    return ui->memo485;
}

std::array<QLineEdit*, 8> Rs485Tab::addressEdits() const
{
    std::array<QLineEdit*, 8> edits{};
    for (size_t i = 0; i < edits.size(); ++i)
        edits[i] = slots_[i].address;
    return edits;
}

namespace rs485 {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    return new Rs485Tab(environment.device, page);
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet4", .title = "485/LLS", .make = makeTab,
        .minimumFirmware = Rs485Tab::kMinimumFirmware, .gatedControls = Rs485Tab::versionRules(), .timers = kTimers,
        .console = TabConsole::Rs485, .settingsSection = "485", .settings = kSettings};
    return registration;
}

}  // namespace rs485
}  // namespace ktx
