// Qt's own dialogs and menus speak the technician's language: the file
// dialog the TELIT tab opens and an edit's context menu, under ru_RU.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

#include "app/ui/QtTranslations.h"
#include "support/LocaleScope.h"

namespace ktx {
namespace {

void saveScreenshot(QWidget& widget, const QString& name)
{
    const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    EXPECT_TRUE(widget.grab().save(QDir(outDir).filePath(name)));
}

QStringList textsOf(const QList<QAction*>& actions)
{
    QStringList texts;
    // "&Копировать\tCtrl+C": the words only.
    for (const QAction* action : actions)
        texts << action->text().remove(u'&').section(u'\t', 0, 0);
    return texts;
}

class QtTranslationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!installQtTranslations(*qApp, translator_, test::russianLocale()))
            GTEST_SKIP() << "Qt's Russian translations are not installed (qt6-translations-l10n)";
    }
    void TearDown() override { QCoreApplication::removeTranslator(&translator_); }

    test::LocaleScope locale_{test::russianLocale()};
    QTranslator translator_;
};

TEST_F(QtTranslationsTest, FileDialogIsRussian)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile firmware(dir.filePath(QStringLiteral("LE910C1-25.30.226.bin")));
    ASSERT_TRUE(firmware.open(QIODevice::WriteOnly));
    firmware.close();
    QFileDialog dialog(nullptr, QString(), dir.path(), QStringLiteral("bin (*.bin)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // as the TELIT tab opens it
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.resize(640, 400);
    dialog.show();
    QApplication::processEvents();
    QStringList buttons;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>())
        buttons << button->text().remove(u'&');
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text().remove(u'&');
    EXPECT_TRUE(buttons.contains(QStringLiteral("Отмена"))) << buttons.join(", ").toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Открыть"))) << buttons.join(", ").toStdString();
    EXPECT_FALSE(buttons.contains(QStringLiteral("Cancel")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Имя файла:"))) << labels.join(", ").toStdString();
    saveScreenshot(dialog, QStringLiteral("qt-file-dialog-ru.png"));
}

TEST_F(QtTranslationsTest, EditContextMenuIsRussian)
{
    QLineEdit edit(QStringLiteral("12345"));
    edit.selectAll();
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    const QStringList texts = textsOf(menu->actions());
    for (const char* expected : {"Отменить действие", "Вырезать", "Копировать", "Вставить", "Выделить всё"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected << " in " << texts.join(", ").toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Copy")));
    menu->show();
    QApplication::processEvents();
    saveScreenshot(*menu, QStringLiteral("qt-edit-menu-ru.png"));
}

}  // namespace
}  // namespace ktx
