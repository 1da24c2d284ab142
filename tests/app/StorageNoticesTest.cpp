// Settings and logs that cannot be kept: a settings file the console cannot
// read is left as it is and said, a read-only working directory is said
// once, and both come back in one message as the window closes.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

#include "app/ProfileFile.h"
#include "app/StorageNotices.h"
#include "app/ui/TKorvantixtest.h"
#include "base/TextCodec.h"
#include "link/VirtualTimeSource.h"
#include "support/FileBytes.h"
#include "support/NoRootOverride.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

const std::string kSettingsWithForeignSection =
    "[GSM]\r\nPIN=1234\r\napnapn=internet.operator\r\n[Workshop]\r\nbench=7\r\n";

// The ways a settings file cannot be read; each leaves it byte for byte.
struct Unreadable {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* said;  // part of the reason given
};

const Unreadable kUnreadable[] = {
    {"owned by another user and unreadable",
     [](const fs::path& p) {
         std::ofstream(p, std::ios::binary) << kSettingsWithForeignSection;
         fs::permissions(p, fs::perms::none);
     },
     "Permission denied"},
    {"over 1 MiB",
     [](const fs::path& p) {
         std::string big = kSettingsWithForeignSection;
         big.resize(ProfileFile::kMaxFileBytes + 1, ';');
         std::ofstream(p, std::ios::binary) << big;
     },
     "больше 1 МиБ"},
    {"a directory", [](const fs::path& p) { fs::create_directory(p); }, "это не обычный файл"},
    // Never opened, so never waited on for a writer.
    {"a FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, "это не обычный файл"},
    // Sparse: refused by its size before a byte of it is read.
    {"50 MB", [](const fs::path& p) {
         std::ofstream(p, std::ios::binary) << kSettingsWithForeignSection;
         fs::resize_file(p, 50u << 20);
     },
     "больше 1 МиБ"},
};

// The GSM tab's section, where the PIN is kept.
SettingsSection& gsmSection(SettingsValues& values)
{
    for (SettingsSection& section : values.sections)
        if (std::string_view(section.name()) == "GSM")
            return section;
    throw std::out_of_range("no GSM section");
}

SettingsValues loadSettings(StorageNotices& notices)
{
    return notices.loadSettings(TKorvantixtest::settingsSections());
}

std::string lastDebugUtf8(const test::RecordingSink& log)
{
    return log.debug.empty() ? std::string() : utf8FromCp1251(log.debug.back());
}

TEST(StorageNoticesTest, UnreadableSettingsAreLeftAloneSaidAndDefaultsUsed)
{
    for (const Unreadable& c : kUnreadable) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const fs::path file = fs::path(dir.path().toStdString()) / kSettingsFileName;
        c.make(file);
        const std::string before = fs::is_regular_file(file) ? readBytes(file) : std::string();
        const fs::file_type typeBefore = fs::symlink_status(file).type();
        test::RecordingSink log;
        StorageNotices notices(dir.path().toStdString(), log);
        {
            test::NoRootOverride asUser;
            SettingsValues values = loadSettings(notices);
            EXPECT_EQ(gsmSection(values).text("PIN"), "");
            EXPECT_TRUE(gsmSection(values).flag("ReadGSMAuto"));
            SettingsValues typed = values;
            gsmSection(typed).setText("PIN", "0000");
            notices.saveSettings(typed);
        }
        ASSERT_EQ(log.debug.size(), 1u);
        const std::string said = lastDebugUtf8(log);
        EXPECT_NE(said.find("не прочитан"), std::string::npos) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(notices.exitMessage(), said);
        EXPECT_EQ(fs::symlink_status(file).type(), typeBefore);
        if (fs::is_regular_file(file))
            EXPECT_EQ(readBytes(file), before);
    }
}

TEST(StorageNoticesTest, MissingFileIsAFirstStartAndGetsWritten)
{
    QTemporaryDir dir;
    test::RecordingSink log;
    StorageNotices notices(dir.path().toStdString(), log);
    notices.checkWorkDir();
    SettingsValues values = loadSettings(notices);
    gsmSection(values).setText("PIN", "4321");
    notices.saveSettings(values);
    EXPECT_TRUE(log.debug.empty());
    EXPECT_EQ(notices.exitMessage(), "");
    SettingsValues written = readSettings(dir.path().toStdString() + "/" + kSettingsFileName,
        TKorvantixtest::settingsSections());
    EXPECT_EQ(gsmSection(written).text("PIN"), "4321");
}

// A settings file the user may read but not write (left by a run under
// sudo) is not renamed over; the exit message says why.
TEST(StorageNoticesTest, ReadOnlySettingsFileIsNotReplaced)
{
    QTemporaryDir dir;
    const fs::path file = fs::path(dir.path().toStdString()) / kSettingsFileName;
    std::ofstream(file, std::ios::binary) << kSettingsWithForeignSection;
    fs::permissions(file, fs::perms::owner_read);
    test::RecordingSink log;
    StorageNotices notices(dir.path().toStdString(), log);
    test::NoRootOverride asUser;
    SettingsValues values = loadSettings(notices);
    EXPECT_EQ(gsmSection(values).text("PIN"), "1234");
    gsmSection(values).setText("PIN", "0000");
    notices.saveSettings(values);
    EXPECT_EQ(readBytes(file), kSettingsWithForeignSection);
    EXPECT_NE(notices.exitMessage().find("Настройки не сохранены"), std::string::npos) << notices.exitMessage();
}

// The window: what the technician sees on the debug console and as the
// window closes.
class StorageWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualTimeSource time;
    test::ScriptedDriver driver{&time};
    fs::path root = dir.path().toStdString();

    QString debugText(TKorvantixtest& window)
    {
        return window.findChild<QPlainTextEdit*>(QStringLiteral("DebugMemo"))->toPlainText();
    }
    // Closes the window, takes the text of the modal notice it shows (and
    // a screenshot of it), and accepts it. Empty when none showed.
    QString closeAndCatchNotice(TKorvantixtest& window, const char* screenshot)
    {
        QString caught;
        QTimer poll;
        int tries = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(top);
                if (!box || box->objectName() != QLatin1String("exitNotice") || !box->isVisible())
                    continue;
                caught = box->text();
                const QString outDir = qEnvironmentVariable("KTX_SCREENSHOT_DIR", QDir::current().filePath("screenshots"));
                QDir().mkpath(outDir);
                box->grab().save(QDir(outDir).filePath(QString::fromLatin1(screenshot)));
                box->accept();
            }
            if (++tries > 500)
                poll.stop();
        });
        poll.start(10);
        window.close();
        poll.stop();
        return caught;
    }
};

TEST_F(StorageWindowTest, UnreadableSettingsAreSaidOnTheConsoleAndAtExitAndLeftWhole)
{
    std::string big = kSettingsWithForeignSection;
    big.resize(ProfileFile::kMaxFileBytes + 1, ';');
    std::ofstream(root / kSettingsFileName, std::ios::binary) << big;
    {
        TKorvantixtest window(driver, time, root.string());
        window.show();
        QApplication::processEvents();
        EXPECT_TRUE(debugText(window).contains(QString::fromUtf8("не прочитан"))) << debugText(window).toStdString();
        const QString notice = closeAndCatchNotice(window, "exit_notice_settings.png");
        EXPECT_TRUE(notice.contains(QString::fromUtf8("Файл настроек"))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(QString::fromUtf8("изменения не сохраняются")));
    }
    EXPECT_EQ(readBytes(root / kSettingsFileName), big);
}

TEST_F(StorageWindowTest, ReadOnlyWorkingDirectoryIsSaidOnceOnTheConsoleAndAtExit)
{
    fs::permissions(root, fs::perms::owner_read | fs::perms::owner_exec);
    {
        test::NoRootOverride asUser;
        TKorvantixtest window(driver, time, root.string());
        window.show();
        QApplication::processEvents();
        // The data logs and telitdebug.txt fail the same way: not said again.
        window.consoles().streamLine("AIN", "AINstream", "x\r\n");
        window.consoles().telitLine("AT");
        const QStringList lines = debugText(window).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.filter(QString::fromUtf8("нельзя записывать")).size(), 1) << debugText(window).toStdString();
        EXPECT_TRUE(lines.filter(QString::fromUtf8("Файл не записан")).isEmpty()) << debugText(window).toStdString();
        const QString notice = closeAndCatchNotice(window, "exit_notice_read_only.png");
        EXPECT_TRUE(notice.contains(QString::fromStdString(root.string()))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(QString::fromUtf8("настройки и журналы не сохраняются"))) << notice.toStdString();
    }
    fs::permissions(root, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(root));
}

TEST_F(StorageWindowTest, NothingToTellShowsNoNotice)
{
    TKorvantixtest window(driver, time, root.string());
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(closeAndCatchNotice(window, "unused.png"), QString());
    EXPECT_TRUE(fs::exists(root / kSettingsFileName));
}

}  // namespace
}  // namespace ktx
