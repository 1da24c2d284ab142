#include "app/ui/AboutTab.h"

#include <QMouseEvent>
#include <QPixmap>

#include "widgets/LinkLabelHover.h"
#include "widgets/SvgPixmap.h"
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
    : QWidget(parent), form_(new Ui::AboutTab), opener_(desktopUrlOpener())
{
    initAboutResources();
    form_->setupUi(this);
    form_->Image5->setPixmap(svgPixmap(QStringLiteral(":/about/banner.svg"), form_->Image5->size()));
    form_->Image6->setPixmap(svgPixmap(QStringLiteral(":/about/tracker.svg"), form_->Image6->size()));
    for (QWidget* clickable : {form_->Image5, form_->Image6, form_->Label90, form_->Label91}) {
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->installEventFilter(this);
    }
    LinkLabelHover::install(form_->Label90);
    LinkLabelHover::install(form_->Label91);
}

AboutTab::~AboutTab()
{
    delete form_;
}

void AboutTab::setTitle(const QString& title)
{
    form_->Label79->setText(title);
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
    if (watched == form_->Image5 || watched == form_->Image6)
        Image5Click();
    else if (watched == form_->Label90)
        Label90Click();
    else if (watched == form_->Label91)
        MailLabelClick();
    return QWidget::eventFilter(watched, event);
}

}  // namespace ktx
