#pragma once
// The "О программе" tab: banners, title, maker lines and the web and mail links.
#include <QUrl>
#include <QWidget>
#include <functional>

#include "widgets/ConsoleTab.h"
#include "widgets/LinkOpener.h"

namespace Ui {
class AboutTab;
}

namespace ktx {

class AboutTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    static const QUrl& webUrl();
    static const QUrl& mailUrl();

    explicit AboutTab(QWidget* parent = nullptr);
    ~AboutTab() override;

    // Where links go; the desktop's default handler unless replaced (tests).
    // A link the opener can't open is shown in a message to copy it from.
    void setUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

    void Image5Click();   // both banners and the web label
    void Label90Click();
    void MailLabelClick();

    // The program's name and version, as the window's caption shows them.
    void setTitle(const QString& title);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui::AboutTab* form_;
    UrlOpener opener_;
};

}  // namespace ktx
