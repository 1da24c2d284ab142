#pragma once
// A button greyed while its action waits or runs loses the keyboard focus to
// the next control (Qt's rule for a disabled focus widget), so a second
// Space or Enter would start that neighbour: "AT" after "Включение GSM",
// "Отключить модем" after "Перепрошивка TELIT". The keeper hands the focus
// to the window instead, where those keys do nothing, and gives it back to
// the button when the button is enabled again, unless the user has moved
// the focus meanwhile.
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ktx {

class FocusKeeper : public QObject {
    Q_OBJECT
public:
    // holder takes the focus while a button is greyed; it needs a focus
    // policy of its own. Watches the buttons of holder's window only.
    explicit FocusKeeper(QWidget* holder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusChanged(QWidget* old, QWidget* now);
    void forget();

    QWidget* holder_;
    QPointer<QWidget> greyed_;  // the button that had the focus when greyed
};

}  // namespace ktx
