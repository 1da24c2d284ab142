#pragma once
// The message the window shows as it closes when the settings or the logs
// could not be kept, so the technician learns it before the session's
// changes are gone.
#include <QWidget>
#include <string>

namespace ktx {

// Nothing when text (UTF-8) is empty; otherwise a modal warning named
// "exitNotice", which closes itself after half a minute.
void showExitNotice(QWidget* window, const std::string& text);

}  // namespace ktx
