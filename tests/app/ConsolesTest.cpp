#include <QCoreApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "support/FileBytes.h"
#include "app/ui/Consoles.h"
#include "widgets/LocaleText.h"
#include "link/VirtualTimeSource.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;

using test::readBytes;

TEST(LocaleTextTest, ZoneFieldIsRemovedFromTimeFormats)
{
    const std::pair<const char*, const char*> cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},          {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},          {"H:mm:ss (t)", "H:mm:ss"},
        {"h:mm:ss AP tttt", "h:mm:ss AP"},   {"H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
        {"HH:mm 'at' t", "HH:mm 'at'"},      {"HH:mm:ss", "HH:mm:ss"},
    };
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(timeFormatWithoutZone(QString::fromUtf8(format)), QString::fromUtf8(expected)) << format;
}

TEST(LocaleTextTest, DateTimeTextHasNoZoneName)
{
    const qint64 utcMs = 1796817600000LL + 3 * 3600000 + 4 * 60000 + 5000;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcMs).toLocalTime();
    const QString zone = local.timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());

    const QString russian = dateTimeText(utcMs, QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(russian, local.toString(u"dd.MM.yyyy HH:mm:ss"));

    const QString american = dateTimeText(utcMs, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_FALSE(american.contains(zone)) << american.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d\\d \\d{1,2}:\\d\\d:\\d\\d [AP]M$")).match(american).hasMatch())
        << american.toStdString();
}

class ConsolesTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    fs::path root_ = dir_.path().toStdString();
    VirtualTimeSource time_;
    Consoles consoles_{time_, root_.string()};
    QPlainTextEdit debug_, gsm_, rs485_, telit_;

    void SetUp() override { consoles_.attach(&debug_, &gsm_, &rs485_, &telit_); }
};

TEST_F(ConsolesTest, DebugLevelGatesTheDebugConsoleOnly)
{
    LogDebug(consoles_, 3, "hidden %d", 3);
    EXPECT_TRUE(debug_.toPlainText().isEmpty());
    LogDebug(consoles_, 1, "shown %d", 1);
    LogDebug(consoles_, 2, "shown %d", 2);
    EXPECT_EQ(debug_.toPlainText(), "shown 1\nshown 2");
}

TEST_F(ConsolesTest, LinesAreConvertedAndSplitAtEveryLineBreak)
{
    LogModem(consoles_, "%s", "AT+CSQ\r\r\n+CSQ: 17,0\r\n\r\nOK");
    // The modem, RS-485 and TELIT consoles start with one empty line.
    EXPECT_EQ(gsm_.toPlainText(), "\nAT+CSQ\n\n+CSQ: 17,0\n\nOK");
    Log485(consoles_, "\xC4\xE0\xF2\xF7\xE8\xEA %d", 5);  // "Датчик 5" in Windows-1251
    EXPECT_EQ(rs485_.toPlainText(), QString::fromUtf8("\nДатчик 5"));
}

TEST_F(ConsolesTest, TelitLinesGoToFileAndConsole)
{
    LogTelit(consoles_, "step %d", 1);
    LogTelit(consoles_, "step %d", 2);
    EXPECT_EQ(telit_.toPlainText(), "\nstep 1\nstep 2");
    EXPECT_EQ(readBytes(root_ / "telitdebug.txt"), "step 1\r\nstep 2\r\n");
}

TEST_F(ConsolesTest, MissingOrDeletedConsolesAreSkipped)
{
    auto gone = std::make_unique<QPlainTextEdit>();
    consoles_.attach(nullptr, gone.get(), nullptr, nullptr);
    gone.reset();
    LogDebug(consoles_, 1, "x");
    LogModem(consoles_, "x");
    Log485(consoles_, "x");
    LogTelit(consoles_, "x");
    EXPECT_EQ(readBytes(root_ / "telitdebug.txt"), "x\r\n");
}

// A shift's worth of lines keeps the newest ten thousand per console, in
// order, and no undo copy of them.
TEST_F(ConsolesTest, EachConsoleKeepsItsNewestTenThousandLines)
{
    for (int line = 1; line <= 10500; ++line) {
        LogDebug(consoles_, 1, "line %d", line);
        LogModem(consoles_, "line %d", line);
    }
    for (QPlainTextEdit* memo : {&debug_, &gsm_}) {
        EXPECT_EQ(memo->document()->blockCount(), 10000);
        EXPECT_EQ(memo->document()->firstBlock().text(), "line 501");
        EXPECT_EQ(memo->document()->lastBlock().text(), "line 10500");
        EXPECT_FALSE(memo->document()->isUndoRedoEnabled());
    }
}

// A tab is built when first shown: what its console was told before that
// waits, and arrives in order, with the same first-line rule and conversion.
TEST(ConsolesBeforeTheirTabs, LinesWaitForTheMemoAndArriveInOrder)
{
    QTemporaryDir dir;
    VirtualTimeSource time;
    Consoles consoles(time, dir.path().toStdString());
    QPlainTextEdit debug;
    consoles.attach(Consoles::Debug, &debug);
    LogModem(consoles, "AT\r\nOK");
    Log485(consoles, "\xC4\xE0\xF2\xF7\xE8\xEA %d", 5);  // "Датчик 5" in Windows-1251
    LogModem(consoles, "AT+CSQ");
    LogDebug(consoles, 1, "debug");
    EXPECT_EQ(debug.toPlainText(), "debug");

    QPlainTextEdit gsm, rs485;
    consoles.attach(Consoles::Modem, &gsm);
    EXPECT_EQ(gsm.toPlainText(), "\nAT\nOK\nAT+CSQ");
    LogModem(consoles, "later");
    EXPECT_EQ(gsm.toPlainText(), "\nAT\nOK\nAT+CSQ\nlater");
    consoles.attach(Consoles::Rs485, &rs485);
    EXPECT_EQ(rs485.toPlainText(), QString::fromUtf8("\nДатчик 5"));

    // Attached once, nothing waits any more: a memo gone drops its lines.
    {
        QPlainTextEdit telit;
        consoles.attach(Consoles::Telit, &telit);
    }
    LogTelit(consoles, "dropped");
    QPlainTextEdit telitAgain;
    consoles.attach(Consoles::Telit, &telitAgain);
    EXPECT_TRUE(telitAgain.toPlainText().isEmpty());
}

// The worker writes to a console whose tab the user has not opened yet (the
// modem console during identification): its lines wait on the GUI thread and
// arrive, in order, ahead of the ones written after the tab was built.
TEST(ConsolesBeforeTheirTabs, LinesFromTheWorkerWaitForTheTabBuiltLater)
{
    QTemporaryDir dir;
    VirtualTimeSource time;
    Consoles consoles(time, dir.path().toStdString());
    constexpr int kLines = 200;
    std::thread worker([&consoles] {
        for (int i = 0; i < kLines; ++i)
            LogModem(consoles, "before %d", i);
    });
    worker.join();
    QCoreApplication::processEvents();

    QPlainTextEdit gsm;
    consoles.attach(Consoles::Modem, &gsm);
    std::thread later([&consoles] { LogModem(consoles, "after"); });
    later.join();
    EXPECT_FALSE(gsm.toPlainText().endsWith(QStringLiteral("after"))) << "a widget was written from the worker";
    QCoreApplication::processEvents();

    const QStringList shown = gsm.toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), kLines + 2);  // the leading empty line, the waiting lines, the later one
    EXPECT_TRUE(shown.front().isEmpty());
    for (int i = 0; i < kLines; ++i)
        ASSERT_EQ(shown[i + 1], QStringLiteral("before %1").arg(i));
    EXPECT_EQ(shown.back(), QStringLiteral("after"));
}

TEST_F(ConsolesTest, StreamLinesCarryStampAndSerial)
{
    const std::string stamp = dateTimeTextCp1251(time_.wallClockUtcMs());
    consoles_.streamLine("AIN", "AINstream", "AIN1=   1\r\n");
    EXPECT_EQ(readBytes(root_ / "AIN" / "AINstream-10000.txt"), stamp + " | AIN1=   1\r\n");

    consoles_.setSerialSource([] { return std::string("../FT1ABCDE"); });
    consoles_.streamLine("AIN", "AINstream", "x\r\n");
    EXPECT_TRUE(fs::exists(root_ / "AIN" / "AINstream-___FT1ABCDE.txt"));
}

// The device worker writes while the GUI thread does too: data log lines stay
// whole and in each writer's order; console lines reach the console only
// through the GUI thread's loop, in the order written.
TEST_F(ConsolesTest, LinesFromTheWorkerAndTheGuiThreadStayWholeAndInOrder)
{
    constexpr int kLines = 300;
    std::thread worker([this] {
        for (int i = 0; i < kLines; ++i) {
            consoles_.modemLine(formatText("worker %d", i));
            consoles_.streamLine("AIN", "AINstream", formatText("worker,%d\r\n", i));
        }
    });
    for (int i = 0; i < kLines; ++i)
        consoles_.streamLine("AIN", "AINstream", formatText("gui,%d\r\n", i));
    worker.join();
    EXPECT_TRUE(gsm_.document()->isEmpty()) << "a widget was written from the worker";

    QCoreApplication::processEvents();
    const QStringList shown = gsm_.toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), kLines + 1);  // after the console's leading empty line
    for (int i = 0; i < kLines; ++i)
        ASSERT_EQ(shown[i + 1], QStringLiteral("worker %1").arg(i));

    std::istringstream file(readBytes(root_ / "AIN" / "AINstream-10000.txt"));
    std::map<std::string, int> next = {{"gui", 0}, {"worker", 0}};
    std::string line;
    int lines = 0;
    while (std::getline(file, line)) {
        ++lines;
        const size_t bar = line.find(" | ");
        const size_t comma = line.find(',', bar);
        ASSERT_TRUE(bar != std::string::npos && comma != std::string::npos && line.back() == '\r') << line;
        const std::string writer = line.substr(bar + 3, comma - bar - 3);
        ASSERT_EQ(next.count(writer), 1u) << line;
        EXPECT_EQ(std::stoi(line.substr(comma + 1)), next[writer]++) << line;
    }
    EXPECT_EQ(lines, 2 * kLines);
}

// A log that can't be written is said on the debug console once, not on
// every poll, and the console itself keeps every line.
TEST_F(ConsolesTest, UnwritableLogIsSaidOnceOnTheDebugConsole)
{
    const fs::path outside = fs::path(dir_.path().toStdString()) / "elsewhere.txt";
    fs::create_symlink(outside, root_ / "telitdebug.txt");
    consoles_.telitLine("AT#1");
    consoles_.telitLine("AT#2");
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_TRUE(telit_.toPlainText().contains(QLatin1String("AT#2")));
    const QStringList said = debug_.toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(said.size(), 1) << debug_.toPlainText().toStdString();
    EXPECT_TRUE(said[0].startsWith(QString::fromUtf8("Файл не записан: refused to follow a symlink at ")))
        << said[0].toStdString();
    EXPECT_TRUE(said[0].endsWith(QLatin1String("telitdebug.txt"))) << said[0].toStdString();
}

}  // namespace
}  // namespace ktx
