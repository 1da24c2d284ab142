#include "gnss/ui/GnssTab.h"

#include <QApplication>
#include <QMouseEvent>

#include "widgets/DeviceActions.h"
#include "widgets/LinkLabelHover.h"
#include "widgets/PanelColors.h"
#include "widgets/SvgPixmap.h"
#include "gnss/AntennaCheck.h"
#include "gnss/DeviceClock.h"
#include "gnss/PointFix.h"
#include "gnss/ReceiverTest.h"
#include "base/TextCodec.h"
#include "gnss/ui/TabRegistration.h"
#include "ui_GnssTab.h"

static void initGnssTabResources() { Q_INIT_RESOURCE(gnss_tab); }

namespace ktx {
namespace {

const QColor kCream{255, 251, 240};
const QColor kGreen{0, 128, 0};

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

GnssTab::GnssTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::GnssTab), device_(device),
      opener_(desktopUrlOpener())
{
    initGnssTabResources();
    ui->setupUi(this);

    const QSize pictureSize = ui->Image7->size();
    ui->Image7->setPixmap(svgPixmap(QStringLiteral(":/gnss/images/antenna_ok.svg"), pictureSize));
    ui->Image8->setPixmap(svgPixmap(QStringLiteral(":/gnss/images/antenna_break.svg"), pictureSize));
    ui->Image9->setPixmap(svgPixmap(QStringLiteral(":/gnss/images/antenna_short.svg"), pictureSize));
    ui->Image8->hide();
    ui->Image9->hide();

    ui->Shape20->setKind(ShapeWidget::Kind::Circle);
    ui->Shape20->setBrushColor(kCream);
    // Device replies are shown as they are, never as markup.
    for (QLabel* label : {ui->Panel24, ui->LabelAV, ui->LabelAboutAV, ui->LabelSource})
        label->setTextFormat(Qt::PlainText);
    LinkLabelHover::install(ui->maplabel);
    ui->maplabel->installEventFilter(this);

    connect(ui->Button18, &QPushButton::clicked, this, &GnssTab::Button18Click);
    connect(ui->Button19, &QPushButton::clicked, this, &GnssTab::Button19Click);
    connect(ui->Button20, &QPushButton::clicked, this, &GnssTab::Button20Click);
    connect(ui->GETTIMER, &QPushButton::clicked, this, &GnssTab::GETTIMERClick);
    connect(ui->SETTIMER, &QPushButton::clicked, this, &GnssTab::SETTIMERClick);
}

GnssTab::~GnssTab()
{
    delete ui;
}

namespace {

const VersionRule kVersionRules[] = {
    {56, "Panel20", true},  // the antenna test
    {57, "Panel22", true},  // the position query
};

}  // namespace

std::span<const VersionRule> GnssTab::versionRules()
{
    return kVersionRules;
}

bool GnssTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->maplabel && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        maplabelClick();
    return QWidget::eventFilter(watched, event);
}

void GnssTab::Button18Click()
{
    runDeviceAction(device_, ui->Button18, this, ui->Button18, [](AppContext& device) { return gnss::requestAntennaReading(device); },
        [this](const std::optional<int32_t>& reading) {
            if (!reading)
                return;
            ui->Panel24->setText(QString::number(*reading));
            const gnss::AntennaLook look = gnss::antennaLook(gnss::antennaState(*reading));
            ui->Image8->setVisible(look.breakPicture);
            ui->Image9->setVisible(look.shortPicture);
            ui->Label139->setText(QString::fromUtf8(look.verdict));
        });
}

void GnssTab::Button20Click()
{
    runDeviceAction(device_, ui->Button20, this, ui->Button20, [](AppContext& device) { gnss::startReceiver(device); }, [] {});
}

void GnssTab::Button19Click()
{
    runDeviceAction(device_, ui->Button19, this, ui->Button19, [](AppContext& device) { return gnss::requestPosition(device); },
        [this](const gnss::PositionReply& reply) { showPosition(reply); });
}

void GnssTab::showPosition(const gnss::PositionReply& reply)
{
    if (!reply.opened)
        return;
    ui->READEDTIME->setText(QString::fromStdString(utf8FromCp1251(reply.raw)));
    const auto view = gnss::positionView(reply.words);
    if (!view)
        return;
    const QColor& colour = view->valid ? kGreen : colors::kRed;
    ui->Shape20->setBrushColor(colour);
    ui->LabelAV->setText(fromUtf8(view->letter));
    ui->LabelAboutAV->setText(fromUtf8(view->about));
    colors::setTextColor(ui->LabelAboutAV, colour);
    if (view->source)
        ui->LabelSource->setText(fromUtf8(*view->source));
    ui->DateLabel->setText(fromUtf8(view->date));
    ui->TimeLabel->setText(fromUtf8(view->time));
    ui->LatLabel->setText(fromUtf8(view->latitude));
    ui->LonLabel->setText(fromUtf8(view->longitude));
    ui->CoorLine->setText(fromUtf8(view->mapLink));
    ui->CoorLine->setCursorPosition(0);  // the address's start says what it is
}

void GnssTab::maplabelClick()
{
    // The user may have edited the link; only a web address is handed on, so
    // that the desktop never runs a program or opens a local file from it.
    const QString text = ui->CoorLine->text().trimmed();
    if (text.isEmpty())
        return;
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return;
    openLink(this, opener_, url);
}

void GnssTab::GETTIMERClick()
{
    runDeviceAction(device_, ui->GETTIMER, this, ui->GETTIMER, [](AppContext& device) { return gnss::readClock(device); },
        [this](const gnss::ClockOutcome& outcome) { showClock(outcome); });
}

void GnssTab::SETTIMERClick()
{
    runDeviceAction(device_, ui->SETTIMER, this, ui->SETTIMER, [](AppContext& device) { return gnss::setClock(device); },
        [this](const gnss::ClockOutcome& outcome) { showClock(outcome); });
}

void GnssTab::showClock(const gnss::ClockOutcome& outcome)
{
    if (outcome.opened)
        ui->READEDTIME->setText(fromUtf8(outcome.text));
}

namespace gnss {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    return new GnssTab(environment.device, page);
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet7", .title = "GPS/ГЛОНАСС", .make = makeTab,
        .gatedControls = GnssTab::versionRules()};
    return registration;
}

}  // namespace gnss
}  // namespace ktx
