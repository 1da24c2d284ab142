#pragma once
// A filled circle or bar that doubles as a click target: the output lamps
// and the bars beside them.
#include <QColor>
#include <QWidget>

namespace ktx {

class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Circle, Bar };

    explicit ShapeWidget(QWidget* parent = nullptr);

    void setKind(Kind kind);
    Kind kind() const { return kind_; }
    void setBrushColor(const QColor& color);
    QColor brushColor() const { return brush_; }
    // Solid, or a hatching drawn in the brush colour over white.
    void setBrushStyle(Qt::BrushStyle style);
    Qt::BrushStyle brushStyle() const { return brushStyle_; }

signals:
    void pressed(Qt::MouseButton button);
    // A context menu was asked for; fromMouse tells a right click from the
    // keyboard's menu key.
    void menuRequested(bool fromMouse);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    Kind kind_ = Kind::Circle;
    QColor brush_ = Qt::white;
    Qt::BrushStyle brushStyle_ = Qt::SolidPattern;
};

}  // namespace ktx
