#pragma once
// A tab's own table of what older firmware lacks: each control is shown (and
// where enable is set, enabled) only from its minimum version on.
#include <span>

class QWidget;

namespace ktx {

struct VersionRule {
    int minVersion;
    const char* control;  // objectName inside the tab
    bool enable;          // also enabled or disabled, not only shown or hidden
};

// Applies every rule to the tab's controls. A name the tab lacks is skipped.
void applyVersionRules(QWidget& tab, std::span<const VersionRule> rules, int version);

}  // namespace ktx
