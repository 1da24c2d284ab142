#include "onewire/ui/OneWireTab.h"

#include <QLocale>
#include <QSlider>

#include "widgets/DeviceActions.h"
#include "widgets/PanelColors.h"
#include "base/TextCodec.h"
#include "onewire/IdentifierRead.h"
#include "widgets/StyledShape.h"
#include "onewire/ui/TabRegistration.h"
#include "ui_OneWireTab.h"

namespace ktx {
namespace {

const QColor kFrameGreen{0, 128, 0};
const QColor kReadingGreen{159, 255, 159};
const QColor kWarmBand{255, 130, 130};
const QColor kColdBand{135, 206, 235};
const QColor kFramePen{128, 128, 128};

// Where the pieces of a sensor group sit (the group is 186 × 144).
constexpr QRect kAddressLabel{8, 18, 60, 16};
constexpr QRect kAddressEdit{8, 34, 100, 22};
constexpr QRect kReadButton{8, 60, 100, 26};
constexpr QRect kValueLabel{8, 94, 102, 40};
constexpr QRect kScale{128, 14, 24, 126};
constexpr QRect kFrame{158, 16, 16, 108};
constexpr QRect kBar{162, 20, 8, 96};
constexpr QRect kLamp{155, 114, 22, 22};
constexpr int kBandX = 153;
constexpr int kBandWidth = 3;
constexpr int kValuePointSize = 12;

// A scale label beside the track bar at a given temperature.
struct ScaleMark {
    const char* text;
    int temperature;
};
constexpr ScaleMark kScaleMarks[] = {{"110", 110}, {"0", 0}, {"-55", -55}};

// Vertical pixel of a temperature on the track bar's groove.
int scaleY(int temperature)
{
    constexpr int handleHalf = 8;
    const int span = kScale.height() - 2 * handleHalf;
    const int position = -temperature;  // the bar shows the negated value
    return kScale.top() + handleHalf
        + span * (position - onewire::kScaleMinimum) / (onewire::kScaleMaximum - onewire::kScaleMinimum);
}

QString decimalPoint() { return QLocale().decimalPoint(); }

void band(QWidget* parent, int top, int bottom, const QColor& color)
{
    auto* strip = new QWidget(parent);
    strip->setGeometry(kBandX, top, kBandWidth, bottom - top);
    colors::setBackground(strip, color);
}

// Long values (fifteen digits) get a smaller font rather than being cut.
void fitText(QLabel* label, const QString& text)
{
    QFont font = label->font();
    font.setPointSize(kValuePointSize);
    while (font.pointSize() > 6 && QFontMetrics(font).horizontalAdvance(text) > label->width())
        font.setPointSize(font.pointSize() - 1);
    label->setFont(font);
    label->setText(text);
}

constexpr TabTimer kSensorTimer{"Timer4", 1000};
constexpr TabTimer kTimers[] = {kSensorTimer};

}  // namespace

OneWireTab::OneWireTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::OneWireTab), device_(device), timer4_(makeTabTimer(this, kSensorTimer)),
      test_(device)
{
    ui->setupUi(this);
    const std::array<QGroupBox*, onewire::kSensorCount> groups = {ui->GroupBox16, ui->GroupBox17, ui->GroupBox18,
        ui->GroupBox19, ui->GroupBox20, ui->GroupBox21, ui->GroupBox22, ui->GroupBox23};
    for (size_t i = 0; i < groups.size(); ++i) {
        sensors_[i] = buildSensor(static_cast<int>(i) + 1, groups[i]);
        connect(sensors_[i].read, &QPushButton::clicked, this, [this, i] { temperReadClick(static_cast<int>(i) + 1); });
    }
    ui->Button16->hide();
    colors::setBackground(ui->OneWire, colors::kBtnFace);
    // The first sensor's group is drawn green, its edits too.
    colors::setCaptionAndTextColor(ui->GroupBox16, QColor(0, 128, 0));

    connect(ui->iButton1read, &QPushButton::clicked, this, &OneWireTab::iButton1readClick);
    connect(ui->Button17, &QPushButton::clicked, this, &OneWireTab::Button17Click);
    // toggled, not clicked: a failed read or tick unticks it from code too.
    connect(ui->OneWire, &QCheckBox::toggled, this, &OneWireTab::OneWireClick);
    connect(ui->Button16, &QPushButton::clicked, this, &OneWireTab::Button16Click);
    connect(timer4_, &QTimer::timeout, this, &OneWireTab::Button16Click);
}

OneWireTab::~OneWireTab()
{
    delete ui;
}

namespace {

const VersionRule kVersionRules[] = {
    {55, "GroupBox15", true},
    {55, "OneWire", false},
    {55, "Button17", false},
    {55, "Label137", false},
};

}  // namespace

std::span<const VersionRule> OneWireTab::versionRules()
{
    return kVersionRules;
}

OneWireTab::Sensor OneWireTab::buildSensor(int number, QGroupBox* group)
{
    const QString n = QString::number(number);
    Sensor s;
    s.group = group;

    auto* caption = new QLabel(QStringLiteral("Адрес"), group);
    caption->setGeometry(kAddressLabel);
    s.address = new QLineEdit(group);
    s.address->setObjectName(QStringLiteral("temper%1id").arg(n));
    s.address->setGeometry(kAddressEdit);
    caption->setBuddy(s.address);
    s.read = new QPushButton(QStringLiteral("Считать"), group);
    s.read->setObjectName(QStringLiteral("temper%1read").arg(n));
    s.read->setGeometry(kReadButton);

    s.value = new QLabel(QStringLiteral("0"), group);
    s.value->setObjectName(QStringLiteral("TemperLabel%1").arg(n));
    s.value->setGeometry(kValueLabel);
    s.value->setAlignment(Qt::AlignCenter);
    QFont bold = s.value->font();
    bold.setBold(true);
    bold.setPointSize(kValuePointSize);
    s.value->setFont(bold);

    s.scale = new QSlider(Qt::Vertical, group);
    s.scale->setObjectName(QStringLiteral("TrackBar%1").arg(n));
    s.scale->setGeometry(kScale);
    s.scale->setRange(onewire::kScaleMinimum, onewire::kScaleMaximum);
    s.scale->setTickInterval(5);
    s.scale->setTickPosition(QSlider::TicksLeft);
    s.scale->setInvertedAppearance(true);  // the minimum at the top, as the classic track bar
    s.scale->setValue(0);
    s.scale->setFocusPolicy(Qt::NoFocus);
    // The scale marks a position only: no filled part that could read as a level.
    QPalette plain = s.scale->palette();
    plain.setColor(QPalette::Highlight, plain.color(QPalette::Window));
    s.scale->setPalette(plain);

    band(group, scaleY(-onewire::kScaleMinimum), scaleY(0), kWarmBand);
    band(group, scaleY(0), scaleY(-onewire::kScaleMaximum), kColdBand);
    QFont small = font();
    small.setPointSize(7);
    for (const ScaleMark& mark : kScaleMarks) {
        auto* label = new QLabel(QString::fromLatin1(mark.text), group);
        label->setFont(small);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(kScale.left() - 24, scaleY(mark.temperature) - 7, 22, 14);
    }

    s.frame = new StyledShape(StyledShape::Outline::RoundRect, group);
    s.frame->setObjectName(QStringLiteral("ThermoBig%1").arg(n));
    s.frame->setGeometry(kFrame);
    s.frame->setPenColor(kFramePen);
    s.bar = new StyledShape(StyledShape::Outline::RoundRect, group);
    s.bar->setObjectName(QStringLiteral("TempOk%1").arg(n));
    s.bar->setGeometry(kBar);
    s.bar->setBrushStyle(Qt::DiagCrossPattern);
    s.lamp = new StyledShape(StyledShape::Outline::Circle, group);
    s.lamp->setObjectName(QStringLiteral("Check%1").arg(n));
    s.lamp->setGeometry(kLamp);
    s.lamp->setBrushStyle(Qt::DiagCrossPattern);
    return s;
}

void OneWireTab::temperReadClick(int sensor)
{
    if (sensor < 1 || sensor > onewire::kSensorCount)
        return;
    const Sensor& s = sensors_[static_cast<size_t>(sensor - 1)];
    readIdentifierInto(s.read, s.address, [](bool) {});
}

void OneWireTab::iButton1readClick()
{
    // The key read stops the temperature test when it cannot reach the device.
    readIdentifierInto(ui->iButton1read, ui->IBUTTID1, [this](bool reached) {
        if (!reached)
            ui->OneWire->setChecked(false);
    });
}

void OneWireTab::readIdentifierInto(QPushButton* button, QLineEdit* target, std::function<void(bool reached)> then)
{
    runDeviceAction(device_, button, this, button, [](AppContext& device) { return onewire::readIdentifier(device); },
        [target = QPointer<QLineEdit>(target), then = std::move(then)](const onewire::IdentifierResult& result) {
            if (target && result.outcome == onewire::IdentifierOutcome::Read)
                target->setText(QString::fromLatin1(result.text));
            then(result.outcome != onewire::IdentifierOutcome::OpenFailed
                && result.outcome != onewire::IdentifierOutcome::SendFailed);
        });
}

void OneWireTab::Button17Click()
{
    ui->OneWire->setChecked(!ui->OneWire->isChecked());
}

void OneWireTab::OneWireClick()
{
    if (ui->OneWire->isChecked()) {
        timer4_->start();
        ui->Button17->setText(QStringLiteral("Остановить тестирование"));
        for (Sensor& s : sensors_) {
            s.bar->setBrushColor(colors::kWhite);
            s.frame->setBrushColor(colors::kWhite);
        }
    } else {
        timer4_->stop();
        ui->Button17->setText(QStringLiteral("Запустить тестирование"));
    }
}

void OneWireTab::resetLamps()
{
    for (Sensor& s : sensors_) {
        s.lamp->setBrushColor(colors::kWhite);
        s.bar->setBrushStyle(Qt::DiagCrossPattern);
    }
}


void OneWireTab::Button16Click()
{
    struct Tick {
        size_t sensor = 0;
        std::optional<onewire::TickResult> result;  // unset: no address, no poll
    };
    std::array<std::string, onewire::kSensorCount> addresses;
    for (size_t i = 0; i < addresses.size(); ++i)
        addresses[i] = cp1251FromUtf8(sensors_[i].address->text().toStdString());
    // The sensor's turn is the worker's; its lamp lights while it is read.
    runDeviceAction(device_, timer4_, this, nullptr,
        [this, addresses](AppContext& device) {
            onewire::TemperatureTest& test = test_.in(device);
            Tick tick;
            tick.sensor = static_cast<size_t>(test.advance());
            const bool addressed = !addresses[tick.sensor].empty();
            onGuiThread(this, [this, sensor = tick.sensor, addressed] { lightLamp(sensor, addressed); });
            if (addressed)
                tick.result = test.poll(addresses[tick.sensor]);
            return tick;
        },
        [this](const Tick& tick) {
            if (!tick.result)
                return;
            const onewire::TickOutcome outcome = tick.result->outcome;
            if (outcome != onewire::TickOutcome::OpenFailed)
                colors::alternateBackground(ui->OneWire, colors::kBtnShadow, colors::kBtnFace);
            if (outcome == onewire::TickOutcome::Reading)
                showReading(sensors_[tick.sensor], tick.result->value);
            if (outcome == onewire::TickOutcome::OpenFailed || outcome == onewire::TickOutcome::Unreadable) {
                ui->OneWire->setChecked(false);
                timer4_->stop();  // also when the tick came from the hidden button
            }
        });
}

void OneWireTab::lightLamp(size_t sensor, bool addressed)
{
    resetLamps();
    if (!addressed)
        return;
    Sensor& s = sensors_[sensor];
    s.lamp->setBrushColor(colors::kRed);
    s.frame->setBrushColor(colors::kWhite);
}

void OneWireTab::showReading(Sensor& s, float value)
{
    const onewire::TemperatureLook look = onewire::temperatureLook(value, decimalPoint().toStdString());
    fitText(s.value, QString::fromStdString(look.label));
    s.scale->setValue(look.scalePosition);
    s.bar->setBrushStyle(Qt::SolidPattern);
    s.bar->setBrushColor(kReadingGreen);
    s.frame->setBrushColor(kFrameGreen);
}

namespace onewire {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    return new OneWireTab(environment.device, page);
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet6", .title = "1WIRE", .make = makeTab,
        .gatedControls = OneWireTab::versionRules(), .timers = kTimers};
    return registration;
}

}  // namespace onewire
}  // namespace ktx
