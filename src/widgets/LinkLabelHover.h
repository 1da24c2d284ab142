#pragma once
// The hover look shared by every link label of the window: blue and
// underlined under the mouse, the palette's link colour without underline
// otherwise. Other font styles are left as they are.
#include <QObject>

class QWidget;

namespace ktx {

class LinkLabelHover : public QObject {
    Q_OBJECT
public:
    // Gives label the resting look, a hand cursor, and the hover filter
    // (owned by the label).
    static void install(QWidget* label);

    static void Label90MouseEnter(QWidget* label);
    static void Label90MouseLeave(QWidget* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit LinkLabelHover(QObject* parent) : QObject(parent) {}
};

}  // namespace ktx
