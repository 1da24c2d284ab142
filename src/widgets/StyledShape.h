#pragma once
// A shape of the shared kind that can also be a
// rectangle with curved corners, with a pen colour of its own.
#include "widgets/ShapeWidget.h"

class QPainter;

namespace ktx {

class StyledShape : public ShapeWidget {
    Q_OBJECT
public:
    enum class Outline { Circle, RoundRect };

    explicit StyledShape(Outline outline, QWidget* parent = nullptr);

    void setPenColor(const QColor& color);
    // Corner radius of the rectangle; negative: half the shorter side.
    void setCornerRadius(qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawOutline(QPainter& painter, const QRectF& area) const;

    Outline outline_;
    QColor pen_ = Qt::black;
    qreal radius_ = -1;
};

}  // namespace ktx
