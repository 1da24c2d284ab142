#pragma once
// The message the window shows as it closes when the settings or the logs
// could not be kept, so the technician learns it before the session's
// changes are gone.
#include <QWidget>
#include <string>

#include "base/LogSink.h"

namespace ktx {

// Nothing when text (UTF-8) is empty; otherwise a modal warning named
// "exitNotice", which closes itself after half a minute.
void showExitNotice(QWidget* window, const std::string& text);

// The same after a signal asked for the close (a session manager or a
// closed terminal waits for no button): one line per notice on standard
// error, naming the signal, and the signal on the debug console. Nothing
// when text is empty.
void printExitNotice(LogSink& log, const std::string& text, int signalNumber);

}  // namespace ktx
