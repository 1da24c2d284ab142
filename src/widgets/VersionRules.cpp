#include "widgets/VersionRules.h"

#include <QWidget>

namespace ktx {

void applyVersionRules(QWidget& tab, std::span<const VersionRule> rules, int version)
{
    for (const VersionRule& rule : rules) {
        auto* control = tab.findChild<QWidget*>(QString::fromLatin1(rule.control));
        if (!control)
            continue;
        const bool supported = version >= rule.minVersion;
        control->setVisible(supported);
        if (rule.enable)
            control->setEnabled(supported);
    }
}

}  // namespace ktx
