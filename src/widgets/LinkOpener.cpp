#include "widgets/LinkOpener.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace ktx {

UrlOpener desktopUrlOpener()
{
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

UrlOpener localFileOpener()
{
    return [](const QUrl& url) { return qEnvironmentVariableIsEmpty("KTX_NO_BROWSER") && QDesktopServices::openUrl(url); };
}

void openLink(QWidget* parent, const UrlOpener& opener, const QUrl& url)
{
    if (opener && opener(url))
        return;
    auto* message = new QMessageBox(QMessageBox::Information, QStringLiteral("Ссылка"),
                                    QStringLiteral("Ссылку не удалось открыть: на этом компьютере не настроена "
                                                   "программа для неё. Выделите адрес и скопируйте его:\n\n") +
                                        url.toDisplayString(),
                                    QMessageBox::Ok, parent);
    message->setObjectName(QStringLiteral("LinkMessage"));
    message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
}

}  // namespace ktx
