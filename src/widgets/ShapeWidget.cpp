#include "widgets/ShapeWidget.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace ktx {

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {}

void ShapeWidget::setKind(Kind kind)
{
    kind_ = kind;
    update();
}

void ShapeWidget::setBrushColor(const QColor& color)
{
    if (brush_ == color)
        return;
    brush_ = color;
    update();
}

void ShapeWidget::setBrushStyle(Qt::BrushStyle style)
{
    if (brushStyle_ == style)
        return;
    brushStyle_ = style;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    // A hatched shape shows its lines on a white ground, as a hatch brush
    // on an opaque background does.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.setBrush(QBrush(brush_, brushStyle_));
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (kind_ == Kind::Circle) {
        const qreal side = std::min(area.width(), area.height());
        painter.drawEllipse(QRectF(area.center().x() - side / 2, area.center().y() - side / 2, side, side));
    } else {
        painter.drawRect(area);
    }
}

void ShapeWidget::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button());
    event->accept();
}

void ShapeWidget::contextMenuEvent(QContextMenuEvent* event)
{
    emit menuRequested(event->reason() == QContextMenuEvent::Mouse);
    event->accept();
}

}  // namespace ktx
