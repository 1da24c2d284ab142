#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

#include "support/FileBytes.h"
#include "base/SafeFileName.h"
#include "app/StreamLog.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using test::readBytes;

class StreamLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    // The log root is one level down so anything escaping it shows up beside it.
    fs::path root_ = fs::path(dir_.path().toStdString()) / "work";
    StreamLog log_{root_.string(), [] { return "09.12.2026 15:04:05"s; }};

    void SetUp() override { fs::create_directory(root_); }
    // Qt cannot name files whose bytes are not UTF-8, so it could not remove them.
    void TearDown() override { fs::remove_all(root_); }
};

TEST_F(StreamLogTest, AppendsStampedLinesWithTheirOwnLineEnds)
{
    log_.append("AIN", "AINstream", "10000", "AIN1=   1\tAIN2=  22\r\n");
    log_.append("AIN", "AINstream", "10000", "AIN1=  -3\tAIN2=   0\r\n");
    EXPECT_EQ(readBytes(root_ / "AIN" / "AINstream-10000.txt"),
              "09.12.2026 15:04:05 | AIN1=   1\tAIN2=  22\r\n"
              "09.12.2026 15:04:05 | AIN1=  -3\tAIN2=   0\r\n");

    log_.appendText("telitdebug.txt", "AT+CPIN?");
    log_.appendText("telitdebug.txt", "OK");
    EXPECT_EQ(readBytes(root_ / "telitdebug.txt"), "AT+CPIN?\r\nOK\r\n");
}

TEST_F(StreamLogTest, DeletedDirectoryIsCreatedAgain)
{
    log_.append("COUNT", "COUNTstream", "1234567", "a\r\n");
    fs::remove_all(root_ / "COUNT");
    log_.append("COUNT", "COUNTstream", "1234567", "b\r\n");
    EXPECT_EQ(readBytes(root_ / "COUNT" / "COUNTstream-1234567.txt"), "09.12.2026 15:04:05 | b\r\n");
}

TEST_F(StreamLogTest, FailuresDropTheLineWithoutBlocking)
{
    // A FIFO with no reader in the log's place would block a plain open.
    fs::create_directory(root_ / "AIN");
    ASSERT_EQ(mkfifo((root_ / "AIN" / "AINstream-10000.txt").c_str(), 0600), 0);
    EXPECT_FALSE(log_.append("AIN", "AINstream", "10000", "x\r\n"));

    // The directory's place is taken by a file.
    std::ofstream(root_ / "CAN") << "file";
    const WriteResult noFolder = log_.append("CAN", "CANstream", "10000", "x\r\n");
    EXPECT_FALSE(noFolder);
    EXPECT_EQ(noFolder.path, (root_ / "CAN").string());
    EXPECT_EQ(readBytes(root_ / "CAN"), "file");

    StreamLog nowhere("/proc/nonexistent", [] { return "t"s; });
    EXPECT_FALSE(nowhere.append("AIN", "AINstream", "10000", "x\r\n"));
    EXPECT_FALSE(nowhere.appendText("telitdebug.txt", "x"));
}

// A symlink planted for a data log, for its folder or for telitdebug.txt
// would carry the lines to wherever it points.
TEST_F(StreamLogTest, PlantedSymlinksAreNotFollowed)
{
    const fs::path outside = fs::path(dir_.path().toStdString()) / "outside.txt";
    std::ofstream(outside) << "untouched";
    fs::create_directory(root_ / "AIN");
    fs::create_symlink(outside, root_ / "AIN" / "AINstream-10000.txt");
    fs::create_symlink(outside, root_ / "telitdebug.txt");
    fs::create_symlink(dir_.path().toStdString(), root_ / "COUNT");

    EXPECT_FALSE(log_.append("AIN", "AINstream", "10000", "x\r\n"));
    EXPECT_FALSE(log_.appendText("telitdebug.txt", "AT"));
    EXPECT_FALSE(log_.append("COUNT", "outside", "", "x\r\n"));
    EXPECT_EQ(readBytes(outside), "untouched");
    EXPECT_FALSE(fs::exists(fs::path(dir_.path().toStdString()) / "outside-.txt"));
}

TEST_F(StreamLogTest, HostileSerialsStayInsideTheLogDirectory)
{
    const std::string hostile[] = {
        "../x", "a/b", "..", ".", "", "\x01\n", std::string(1000, 'A'), "..\\..\\win", "/etc/passwd",
        "x\0y"s, "....//....//z", "a:b*c?", "\xC0\xFF\x7F",
    };
    std::set<std::string> names;
    for (const std::string& serial : hostile) {
        const std::string name = safeFileComponent(serial);
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), kMaxFileComponent);
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
        EXPECT_EQ(name.find(".."), std::string::npos) << name;
        for (char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte >= 0x20 && byte != 0x7F && c != '/' && c != '\\') << int(byte);
        }
        names.insert("AINstream-" + serialFileComponent(serial) + ".txt");
        log_.append("AIN", "AINstream", serial, "x\r\n");
    }
    // Nothing beside the root, and AIN holds exactly the expected plain files.
    EXPECT_EQ(std::distance(fs::directory_iterator(root_.parent_path()), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(root_ / "AIN")) {
        EXPECT_TRUE(entry.is_regular_file()) << entry.path();
        written.insert(entry.path().filename().string());
    }
    EXPECT_EQ(written, names);
}

TEST(SafeFileNameTest, PlainSerialsStayAsTheyAre)
{
    for (const char* serial : {"1234567", "10000", "FT1ABCDE", "KX-2026_01", "v1.5"}) {
        EXPECT_EQ(safeFileComponent(serial), serial);
        EXPECT_EQ(serialFileComponent(serial), serial);
    }
}

TEST_F(StreamLogTest, ACyrillicSerialNamesTheFileAsTheScreenShowsIt)
{
    // "12345Ж" as the driver hands it over: Windows-1251.
    log_.append("AIN", "AINstream", "12345\xC6", "x\r\n");
    EXPECT_TRUE(fs::exists(root_ / "AIN" / "AINstream-12345Ж.txt"));
    // Cut at the character, never inside a UTF-8 sequence.
    const std::string name = serialFileComponent(std::string(100, '\xC6'));
    EXPECT_EQ(name.size(), 2 * kMaxFileComponent);
}

}  // namespace
}  // namespace ktx
