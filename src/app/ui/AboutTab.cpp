#include "app/ui/AboutTab.h"

#include <QMouseEvent>
#include <QPixmap>

#include "base/ui/LinkLabelHover.h"
#include "base/ui/SvgPixmap.h"
#include "ui_AboutTab.h"

// Resources of a static library must be registered by name, at global scope.
static void initAboutResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace ktx {

const QUrl& AboutTab::webUrl()
{
    static const QUrl url(QStringLiteral("https://korvantix.example"));
    return url;
}

const QUrl& AboutTab::mailUrl()
{
    static const QUrl url(QStringLiteral("mailto:support@korvantix.example?subject=Корвантикс контроль"));
    return url;
}

AboutTab::AboutTab(QWidget* parent)
    : QWidget(parent), ui(new Ui::AboutTab), opener_(desktopUrlOpener())
{
    initAboutResources();
    ui->setupUi(this);
    ui->Image5->setPixmap(svgPixmap(QStringLiteral(":/about/banner.svg"), ui->Image5->size()));
    ui->Image6->setPixmap(svgPixmap(QStringLiteral(":/about/tracker.svg"), ui->Image6->size()));
    for (QWidget* clickable : {ui->Image5, ui->Image6, ui->Label90, ui->Label91}) {
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->installEventFilter(this);
    }
    LinkLabelHover::install(ui->Label90);
    LinkLabelHover::install(ui->Label91);
}

AboutTab::~AboutTab()
{
    delete ui;
}

void AboutTab::Image5Click()
{
    openLink(this, opener_, webUrl());
}

void AboutTab::Label90Click()
{
    openLink(this, opener_, webUrl());
}

void AboutTab::MailLabelClick()
{
    openLink(this, opener_, mailUrl());
}

bool AboutTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease
        || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return QWidget::eventFilter(watched, event);
    if (watched == ui->Image5 || watched == ui->Image6)
        Image5Click();
    else if (watched == ui->Label90)
        Label90Click();
    else if (watched == ui->Label91)
        MailLabelClick();
    return QWidget::eventFilter(watched, event);
}

}  // namespace ktx
