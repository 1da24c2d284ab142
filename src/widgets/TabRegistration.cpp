#include "widgets/TabRegistration.h"

#include <QTimer>

namespace ktx {

QTimer* makeTabTimer(QObject* owner, const TabTimer& timer)
{
    auto* made = new QTimer(owner);
    made->setObjectName(QString::fromLatin1(timer.name));
    made->setInterval(timer.intervalMs);
    return made;
}

}  // namespace ktx
