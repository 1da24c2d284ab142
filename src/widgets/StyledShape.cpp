#include "widgets/StyledShape.h"

#include <QPainter>

namespace ktx {

StyledShape::StyledShape(Outline outline, QWidget* parent) : ShapeWidget(parent), outline_(outline)
{
    setKind(outline == Outline::Circle ? Kind::Circle : Kind::Bar);
}

void StyledShape::setPenColor(const QColor& color)
{
    pen_ = color;
    update();
}

void StyledShape::setCornerRadius(qreal radius)
{
    radius_ = radius;
    update();
}

void StyledShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(pen_, 1));
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // A hatched brush draws its lines over white, as the classic shapes did.
    if (brushStyle() != Qt::SolidPattern) {
        painter.setBrush(Qt::white);
        drawOutline(painter, area);
    }
    painter.setBrush(QBrush(brushColor(), brushStyle()));
    drawOutline(painter, area);
}

void StyledShape::drawOutline(QPainter& painter, const QRectF& area) const
{
    if (outline_ == Outline::Circle) {
        const qreal side = std::min(area.width(), area.height());
        painter.drawEllipse(QRectF(area.center().x() - side / 2, area.center().y() - side / 2, side, side));
    } else {
        const qreal radius = radius_ >= 0 ? radius_ : std::min(area.width(), area.height()) / 2;
        painter.drawRoundedRect(area, radius, radius);
    }
}

}  // namespace ktx
