#include "widgets/LazyPage.h"

#include <QVBoxLayout>

namespace ktx {

LazyPage::LazyPage(const QString& objectName, Builder build, QWidget* parent)
    : QWidget(parent), build_(std::move(build))
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget* LazyPage::content()
{
    if (content_)
        return content_;
    content_ = build_(this);
    layout()->addWidget(content_);
    // Children made while the page is already visible are not shown with it.
    if (isVisible())
        content_->show();
    return content_;
}

void LazyPage::showEvent(QShowEvent* event)
{
    content();
    QWidget::showEvent(event);
}

}  // namespace ktx
