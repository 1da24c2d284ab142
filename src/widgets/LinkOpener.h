#pragma once
// Hands a link to the desktop (browser, mail program); where none is set up,
// shows the link in a message the user can select and copy it from, instead
// of failing without a word.
#include <QUrl>
#include <functional>

class QWidget;

namespace ktx {

// True when the desktop took the link.
using UrlOpener = std::function<bool(const QUrl&)>;

// QDesktopServices::openUrl.
UrlOpener desktopUrlOpener();

// The same for the console's own files (a record's report, its folder);
// with KTX_NO_BROWSER set it opens nothing, as on a PC with no program for
// them (the tests, the X suite).
UrlOpener localFileOpener();

// Opens url with opener; when that fails, opens (without blocking) a message
// over parent, object name "LinkMessage", holding the link as selectable text.
void openLink(QWidget* parent, const UrlOpener& opener, const QUrl& url);

}  // namespace ktx
