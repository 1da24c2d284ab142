#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FileWriter.h"
#include "base/TextCodec.h"
#include "link/WriteReport.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/NoRootOverride.h"
#include "support/RecordingSink.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

class FileWriterTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    fs::path root_ = dir_.path().toStdString();

    std::string path(const char* name) const { return (root_ / name).string(); }
    void plant(const char* name, const std::string& bytes) const
    {
        std::ofstream(root_ / name, std::ios::binary) << bytes;
    }
    // Nothing beside the files the test made: no temporary left behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(root_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
};

struct Writer {
    const char* name;
    std::function<WriteResult(const std::string&)> write;
};

const Writer kWriters[] = {
    {"append", [](const std::string& p) { return appendToFile(p, "new\r\n"); }},
    {"replace", [](const std::string& p) { return replaceFile(p, "new\r\n"); }},
};

TEST_F(FileWriterTest, AppendAddsAndReplaceSwapsWholeContent)
{
    plant("log.txt", "old\r\n");
    ASSERT_TRUE(appendToFile(path("log.txt"), "new\r\n"));
    EXPECT_EQ(readBytes(root_ / "log.txt"), "old\r\nnew\r\n");
    ASSERT_TRUE(appendToFile(path("fresh.txt"), "first"));
    EXPECT_EQ(readBytes(root_ / "fresh.txt"), "first");

    ASSERT_TRUE(replaceFile(path("log.txt"), "whole"));
    EXPECT_EQ(readBytes(root_ / "log.txt"), "whole");
    ASSERT_TRUE(replaceFile(path("log.txt"), ""));
    EXPECT_EQ(readBytes(root_ / "log.txt"), "");
    EXPECT_EQ(names(), (std::vector<std::string>{"fresh.txt", "log.txt"}));
}

TEST_F(FileWriterTest, SymlinkIsRefusedAndItsTargetUntouched)
{
    plant("target.txt", "precious");
    for (const Writer& writer : kWriters) {
        SCOPED_TRACE(writer.name);
        fs::create_symlink(root_ / "target.txt", root_ / "link.txt");
        const WriteResult result = writer.write(path("link.txt"));
        EXPECT_FALSE(result);
        EXPECT_EQ(result.path, path("link.txt"));
        EXPECT_NE(result.error.find("symlink"), std::string::npos) << result.error;
        EXPECT_EQ(readBytes(root_ / "target.txt"), "precious");
        EXPECT_TRUE(fs::is_symlink(root_ / "link.txt"));
        fs::remove(root_ / "link.txt");
    }
    // A dangling link must not create its target either.
    fs::create_symlink(root_ / "nowhere.txt", root_ / "dangling.txt");
    for (const Writer& writer : kWriters)
        EXPECT_FALSE(writer.write(path("dangling.txt"))) << writer.name;
    EXPECT_FALSE(fs::exists(root_ / "nowhere.txt"));
}

// A FIFO with no reader would hold a plain open() forever; with a reader the
// bytes would go to whoever listens. Both are refused at once.
TEST_F(FileWriterTest, FifoIsRefusedWithoutBlockingWithOrWithoutAReader)
{
    ASSERT_EQ(::mkfifo(path("pipe.txt").c_str(), 0644), 0);
    for (const Writer& writer : kWriters) {
        SCOPED_TRACE(writer.name);
        EXPECT_FALSE(writer.write(path("pipe.txt")));
        const int reader = ::open(path("pipe.txt").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const WriteResult result = writer.write(path("pipe.txt"));
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find("not a regular file"), std::string::npos) << result.error;
        char byte;
        EXPECT_LE(::read(reader, &byte, 1), 0);  // nothing reached the reader
        ::close(reader);
        EXPECT_TRUE(fs::is_fifo(root_ / "pipe.txt"));
    }
}

TEST_F(FileWriterTest, DirectoryOrDeviceIsNotAFile)
{
    fs::create_directory(root_ / "folder.txt");
    for (const Writer& writer : kWriters) {
        EXPECT_FALSE(writer.write(path("folder.txt"))) << writer.name;
        EXPECT_FALSE(writer.write("/dev/null")) << writer.name;
    }
    EXPECT_TRUE(fs::is_directory(root_ / "folder.txt"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(names(), (std::vector<std::string>{"folder.txt"}));
}

// A full disk half-way through: the old file stays whole and nothing of the
// attempt is left beside it. The file size limit stands in for the disk.
TEST_F(FileWriterTest, ReplaceFailingHalfWayKeepsTheOldFileWhole)
{
    plant("snapshot.txt", "old content\r\n");
    WriteResult result;
    {
        const test::FileSizeLimit fullDisk(4096);
        ASSERT_TRUE(fullDisk.active());
        result = replaceFile(path("snapshot.txt"), std::string(10000, 'x'));
    }

    EXPECT_FALSE(result);
    EXPECT_EQ(result.errorNumber, EFBIG);
    EXPECT_EQ(readBytes(root_ / "snapshot.txt"), "old content\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"snapshot.txt"}));
}

// A disk that fills up in the middle of a log line: the line is not left
// cut (the next one would be glued to its remains); the log stays as it was.
TEST_F(FileWriterTest, AppendFailingHalfWayLeavesNoCutLine)
{
    plant("AINstream.txt", "line 1\r\n");
    WriteResult result;
    {
        const test::FileSizeLimit fullDisk(12);
        ASSERT_TRUE(fullDisk.active());
        result = appendToFile(path("AINstream.txt"), "line 2 is longer\r\n");
    }

    EXPECT_FALSE(result);
    EXPECT_EQ(result.errorNumber, EFBIG);
    EXPECT_EQ(readBytes(root_ / "AINstream.txt"), "line 1\r\n");
    ASSERT_TRUE(appendToFile(path("AINstream.txt"), "line 3\r\n"));
    EXPECT_EQ(readBytes(root_ / "AINstream.txt"), "line 1\r\nline 3\r\n");
}

TEST_F(FileWriterTest, ReplaceKeepsTheModeOfAnExistingFileAndAppliesTheUmaskToANewOne)
{
    plant("secret.ini", "PIN=1234");
    fs::permissions(root_ / "secret.ini", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(replaceFile(path("secret.ini"), "PIN=4321"));
    EXPECT_EQ(fs::status(root_ / "secret.ini").permissions(), fs::perms::owner_read | fs::perms::owner_write);

    const mode_t oldMask = ::umask(027);
    const WriteResult created = replaceFile(path("new.txt"), "x", 0666);
    ::umask(oldMask);
    ASSERT_TRUE(created);
    struct stat info {};
    ASSERT_EQ(::stat(path("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A file the user may not write (left by a run under sudo) is not renamed
// over behind its owner's back, even where the directory allows it.
TEST_F(FileWriterTest, ReplaceRefusesAFileTheProcessMayNotWrite)
{
    plant("Korvantix_control.ini", "[GSM]\r\nPIN=1234\r\n");
    fs::permissions(root_ / "Korvantix_control.ini", fs::perms::owner_read);
    test::NoRootOverride asUser;
    const WriteResult result = replaceFile(path("Korvantix_control.ini"), "[GSM]\r\n");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.errorNumber, EACCES);
    EXPECT_EQ(readBytes(root_ / "Korvantix_control.ini"), "[GSM]\r\nPIN=1234\r\n");
}

TEST_F(FileWriterTest, EnsureDirectoryAcceptsOnlyARealDirectory)
{
    EXPECT_TRUE(ensureDirectory(path("AIN")));
    EXPECT_TRUE(ensureDirectory(path("AIN")));  // already there
    EXPECT_TRUE(fs::is_directory(root_ / "AIN"));
    fs::create_symlink(root_ / "AIN", root_ / "COUNT");
    plant("CAN", "");
    for (const char* name : {"COUNT", "CAN"}) {
        const WriteResult result = ensureDirectory(path(name));
        EXPECT_FALSE(result) << name;
        EXPECT_EQ(result.path, path(name));
    }
    EXPECT_FALSE(ensureDirectory(path("missing/deeper")));
}

TEST(WriteReportTest, EachFailingFileIsSaidOnceAndPermissionFailuresQuietAfterTheDirectory)
{
    test::RecordingSink log;
    const WriteResult fifo = appendToFile("/dev/null", "x");
    WriteResult denied = fifo;
    denied.path = "./AIN";
    denied.errorNumber = EACCES;
    denied.error = "cannot create the directory ./AIN";

    EXPECT_FALSE(reportWrite(log, fifo));
    EXPECT_FALSE(reportWrite(log, fifo));
    ASSERT_EQ(log.debug.size(), 1u);
    EXPECT_EQ(utf8FromCp1251(log.debug[0]), "Файл не записан: not a regular file: /dev/null");
    EXPECT_TRUE(reportWrite(log, WriteResult{}));
    EXPECT_EQ(log.debug.size(), 1u);

    log.workDirUnwritableSaid();
    EXPECT_FALSE(reportWrite(log, denied));
    EXPECT_EQ(log.debug.size(), 1u);
}

}  // namespace
}  // namespace ktx
