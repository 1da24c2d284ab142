#include "widgets/LinkLabelHover.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QWidget>

namespace ktx {
namespace {

void setLook(QWidget* label, const QColor& colour, bool underline)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(underline);
    label->setFont(font);
}

}  // namespace

void LinkLabelHover::install(QWidget* label)
{
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(new LinkLabelHover(label));
    Label90MouseLeave(label);
}

void LinkLabelHover::Label90MouseEnter(QWidget* label)
{
    setLook(label, QColor(Qt::blue), true);
}

void LinkLabelHover::Label90MouseLeave(QWidget* label)
{
    // The application palette's link colour stands in for the system "hot light".
    setLook(label, QApplication::palette().color(QPalette::Link), false);
}

bool LinkLabelHover::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* label = qobject_cast<QWidget*>(watched)) {
        if (event->type() == QEvent::Enter)
            Label90MouseEnter(label);
        else if (event->type() == QEvent::Leave)
            Label90MouseLeave(label);
    }
    return false;
}

}  // namespace ktx
