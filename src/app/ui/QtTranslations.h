#pragma once
// Qt's own texts (the file dialog, every edit's context menu) in the user's
// language, from the translations Qt ships; the console's own texts are
// Russian already.
#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace ktx {

// Loads Qt's translation for locale into translator and installs it; false
// (nothing installed, Qt stays English) when there is none for it.
bool installQtTranslations(QCoreApplication& app, QTranslator& translator, const QLocale& locale = QLocale());

}  // namespace ktx
