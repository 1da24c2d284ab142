#include "app/ui/FocusKeeper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>

namespace ktx {

FocusKeeper::FocusKeeper(QWidget* holder) : QObject(holder), holder_(holder)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusKeeper::focusChanged);
}

void FocusKeeper::focusChanged(QWidget* old, QWidget* now)
{
    // The user moved the focus on while a button was greyed: it stays there.
    if (greyed_ && old == holder_ && now != greyed_) {
        forget();
        return;
    }
    // The focus leaves a button because it was just disabled.
    auto* button = qobject_cast<QAbstractButton*>(old);
    if (!button || button->isEnabled() || button->window() != holder_->window() || now == holder_)
        return;
    forget();
    greyed_ = button;
    button->installEventFilter(this);
    holder_->setFocus(Qt::OtherFocusReason);
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == greyed_ && event->type() == QEvent::EnabledChange && greyed_->isEnabled()) {
        QWidget* button = greyed_;
        forget();
        if (QApplication::focusWidget() == holder_ && button->isVisible())
            button->setFocus(Qt::OtherFocusReason);
    }
    return QObject::eventFilter(watched, event);
}

void FocusKeeper::forget()
{
    if (greyed_)
        greyed_->removeEventFilter(this);
    greyed_ = nullptr;
}

}  // namespace ktx
