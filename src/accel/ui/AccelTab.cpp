#include "accel/ui/AccelTab.h"

#include "accel/AccelPoll.h"
#include "widgets/DeviceActions.h"
#include "widgets/LivePlotPanel.h"
#include "widgets/PanelColors.h"
#include "widgets/SvgPixmap.h"
#include "link/SampleClock.h"
#include "accel/ui/TabRegistration.h"
#include "ui_AccelTab.h"

static void initAccelTabResources() { Q_INIT_RESOURCE(accel_tab); }

namespace ktx {
namespace {

// In the order of accel::Arrow.
constexpr const char* kArrowNames[accel::kArrowCount] = {"back", "front", "left", "right", "up", "down"};

// In the order of accel::PlottedAxis; TimerAccel polls every 100 ms. The tab's
// "Модуль" is the squared length the device sends; the plot draws its root,
// on the axes' scale, so it bears a name of its own.
const PlotSetup kAxesPlot{"Accel", "Акселерометр", "отсчёты", 10'000, 100,
    {{"Ось X", {200, 0, 0}}, {"Ось Y", {0, 140, 0}}, {"Ось Z", {0, 0, 200}}, {"Длина вектора", {0, 0, 0}}}, {600, 376}};

constexpr TabTimer kAccelTimer{"TimerAccel", 100};
constexpr TabTimer kTimers[] = {kAccelTimer};

}  // namespace

AccelTab::AccelTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::AccelTab), device_(device), timerAccel_(makeTabTimer(this, kAccelTimer))
{
    initAccelTabResources();
    ui->setupUi(this);
    colors::setBackground(ui->Panel50, colors::kWhite);
    colors::setBackground(ui->Panel53, colors::kWhite);  // the button highlight colour until the first reading
    ui->Image30->setPixmap(svgPixmap(QStringLiteral(":/accel/images/accel_box.svg"), ui->Image30->size()));
    const auto green = greenArrows();
    const auto red = redArrows();
    for (int i = 0; i < accel::kArrowCount; ++i) {
        const QString name = QString::fromLatin1(kArrowNames[i]);
        green[i]->setPixmap(svgPixmap(QStringLiteral(":/accel/images/arrow_%1.svg").arg(name), green[i]->size()));
        red[i]->setPixmap(svgPixmap(QStringLiteral(":/accel/images/red_%1.svg").arg(name), red[i]->size()));
        red[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (QLabel* value : {ui->LabelA1, ui->LabelA2, ui->LabelA3, ui->LabelA4})
        value->setTextFormat(Qt::PlainText);

    connect(ui->ButtonStartAxel, &QPushButton::clicked, this, &AccelTab::ButtonStartAxelClick);
    connect(timerAccel_, &QTimer::timeout, this, &AccelTab::TimerAccelTimer);
    plot_ = new LivePlotPanel(kAxesPlot, sampleClockOf(device_.clock()), this);
}

AccelTab::~AccelTab()
{
    delete ui;
}

void AccelTab::ButtonStartAxelClick()
{
    if (timerAccel_->isActive()) {
        stopTest();
        return;
    }
    timerAccel_->start();
    ui->ButtonStartAxel->setText(QStringLiteral("Остановить проверку"));
}

void AccelTab::stopTest()
{
    timerAccel_->stop();
    ui->ButtonStartAxel->setText(QStringLiteral("Начать проверку"));
}

void AccelTab::TimerAccelTimer()
{
    runDeviceAction(device_, timerAccel_, this, nullptr, [](AppContext& device) { return accel::pollAccelerometer(device); },
        [this](const accel::AccelPollOutcome& outcome) {
            plot_->append(accel::plottedAxes(outcome.reading));
            if (!outcome.opened) {
                stopTest();
                return;
            }
            if (!outcome.reading)
                return;
            colors::blinkHeartbeat(ui->Panel53);
            applyView(accel::accelView(*outcome.reading));
        });
}


void AccelTab::applyView(const accel::AccelView& view)
{
    const auto green = greenArrows();
    const auto red = redArrows();
    for (int i = 0; i < accel::kArrowCount; ++i) {
        green[i]->setVisible(view.green[i]);
        red[i]->setVisible(view.red[i]);
    }
    ui->AProgressBar->setValue(view.magnitudeBar);
    const std::array<QLabel*, 4> values = {ui->LabelA1, ui->LabelA2, ui->LabelA3, ui->LabelA4};
    for (size_t i = 0; i < values.size(); ++i)
        values[i]->setText(QString::fromStdString(view.values[i]));
    ui->ProgressBarX->setValue(view.axisBars[0]);
    ui->ProgressBarY->setValue(view.axisBars[1]);
    ui->ProgressBarZ->setValue(view.axisBars[2]);
}

std::array<QLabel*, accel::kArrowCount> AccelTab::greenArrows() const
{
    return {ui->ImageBack, ui->ImageFront, ui->ImageLeft, ui->ImageRight, ui->ImageUp, ui->ImageDown};
}

std::array<QLabel*, accel::kArrowCount> AccelTab::redArrows() const
{
    return {ui->RedBack, ui->RedFront, ui->RedLeft, ui->RedRight, ui->RedUp, ui->RedDown};
}

namespace accel {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    return new AccelTab(environment.device, page);
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet9", .title = "Акселерометр", .make = makeTab, .timers = kTimers};
    return registration;
}

}  // namespace accel
}  // namespace ktx
