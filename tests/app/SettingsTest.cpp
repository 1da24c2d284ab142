#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "support/FileBytes.h"
#include "app/ProfileFile.h"
#include "app/Settings.h"
#include "app/ui/TKorvantixtest.h"
#include "base/RegularFile.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;

using test::readBytes;

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The tabs' sections as the window has them, at their defaults.
SettingsValues defaults()
{
    return SettingsValues{TKorvantixtest::settingsSections(), {}};
}

SettingsValues readSettings(const std::string& path)
{
    return ktx::readSettings(path, TKorvantixtest::settingsSections());
}

SettingsSection& section(SettingsValues& values, std::string_view name)
{
    for (SettingsSection& found : values.sections)
        if (name == found.name())
            return found;
    throw std::out_of_range("no settings section " + std::string(name));
}

const SettingsSection& section(const SettingsValues& values, std::string_view name)
{
    return section(const_cast<SettingsValues&>(values), name);
}

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    std::string path_ = dir_.path().toStdString() + "/" + kSettingsFileName;
};

void expectDefaults(const SettingsValues& v)
{
    EXPECT_EQ(section(v, "CONFIG").flag("AutoStart"), false);
    EXPECT_EQ(section(v, "GSM").flag("ReadGSMAuto"), true);
    for (const char* key : {"PIN", "apnapn", "apnusr", "apnpwd", "ip", "Port", "telnum", "sms"})
        EXPECT_EQ(section(v, "GSM").text(key), "") << key;
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(section(v, "485").text("LLSAddr" + std::to_string(i)), std::to_string(i));
}

TEST_F(SettingsTest, MissingOrUnreadableFileGivesDefaults)
{
    expectDefaults(readSettings(path_));

    fs::create_directory(path_);  // a directory in the file's place
    expectDefaults(readSettings(path_));
    fs::remove(path_);

    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);  // must not block the start-up
    expectDefaults(readSettings(path_));
    fs::remove(path_);

    std::string huge = "[CONFIG]\r\nAutoStart=1\r\n";
    huge.resize(ProfileFile::kMaxFileBytes + 1, ';');
    writeBytes(path_, huge);
    expectDefaults(readSettings(path_));
}

TEST_F(SettingsTest, BooleansFollowTheProfileIntegerRule)
{
    struct Case {
        const char* text;
        bool autoStart;    // default false
        bool readGsmAuto;  // default true
    };
    const Case cases[] = {
        {"5", true, true},  {"0", false, false},    {"-1", true, true},  {" 7 ", true, true},
        {"0x10", true, true}, {"$0", false, false}, {"abc", false, true}, {"", false, true},
        {"1x", false, true}, {"99999999999", false, true},
    };
    for (const Case& c : cases) {
        writeBytes(path_, std::string("[CONFIG]\r\nAutoStart=") + c.text + "\r\n[GSM]\r\nReadGSMAuto=" + c.text + "\r\n");
        const SettingsValues v = readSettings(path_);
        EXPECT_EQ(section(v, "CONFIG").flag("AutoStart"), c.autoStart) << '"' << c.text << '"';
        EXPECT_EQ(section(v, "GSM").flag("ReadGSMAuto"), c.readGsmAuto) << '"' << c.text << '"';
    }
}

TEST_F(SettingsTest, FreshFileHoldsAllKeysInOrderOwnerOnly)
{
    SettingsValues v = defaults();
    section(v, "CONFIG").setFlag("AutoStart", true);
    section(v, "GSM").setText("PIN", "1234");
    section(v, "GSM").setText("Port", "5000");
    ASSERT_TRUE(writeSettings(path_, v));
    EXPECT_EQ(readBytes(path_),
              "[CONFIG]\r\nAutoStart=1\r\n\r\n"
              "[GSM]\r\nPIN=1234\r\napnapn=\r\napnusr=\r\napnpwd=\r\nip=\r\nPort=5000\r\ntelnum=\r\nsms=\r\nReadGSMAuto=1\r\n\r\n"
              "[485]\r\nLLSAddr1=1\r\nLLSAddr2=2\r\nLLSAddr3=3\r\nLLSAddr4=4\r\nLLSAddr5=5\r\nLLSAddr6=6\r\nLLSAddr7=7\r\nLLSAddr8=8\r\n");
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // A file someone left readable by all is owner-only after our write.
    chmod(path_.c_str(), 0644);
    ASSERT_TRUE(writeSettings(path_, v));
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(SettingsTest, WriteKeepsForeignContentInPlace)
{
    writeBytes(path_,
               "; kept comment\n"
               "[Other]\n"
               "Mine = yes\n"
               "\n"
               "[gsm]\n"
               "pin = 0000\n"
               "Extra=keep me\n"
               "\n"
               "[Tail]\n"
               "x=1");
    SettingsValues v = defaults();
    section(v, "GSM").setText("PIN", "4321");
    ASSERT_TRUE(writeSettings(path_, v));
    EXPECT_EQ(readBytes(path_),
              "; kept comment\r\n"
              "[Other]\r\n"
              "Mine = yes\r\n"
              "\r\n"
              "[gsm]\r\n"
              "PIN=4321\r\n"
              "Extra=keep me\r\n"
              "apnapn=\r\napnusr=\r\napnpwd=\r\nip=\r\nPort=\r\ntelnum=\r\nsms=\r\nReadGSMAuto=1\r\n"
              "\r\n"
              "[Tail]\r\n"
              "x=1\r\n"
              "\r\n"
              "[CONFIG]\r\nAutoStart=0\r\n\r\n"
              "[485]\r\nLLSAddr1=1\r\nLLSAddr2=2\r\nLLSAddr3=3\r\nLLSAddr4=4\r\nLLSAddr5=5\r\nLLSAddr6=6\r\nLLSAddr7=7\r\nLLSAddr8=8\r\n");
}

// The results database's text is the user's: read, never written over.
TEST_F(SettingsTest, TheResultsDatabaseIsReadAndKeptAsTyped)
{
    const std::string database = "postgresql://line@db.local/results?connect_timeout=3";
    writeBytes(path_, "[RESULTS]\r\nDatabase=" + database + "\r\n");
    EXPECT_EQ(readSettings(path_).window.resultsDatabase, database);
    SettingsValues v = readSettings(path_);
    v.window.resultsDatabase = "changed.sqlite";
    ASSERT_TRUE(writeSettings(path_, v));
    EXPECT_EQ(readSettings(path_).window.resultsDatabase, database);
    EXPECT_EQ(readSettings(dir_.path().toStdString() + "/none.ini").window.resultsDatabase, "");
}

TEST_F(SettingsTest, TextsRoundTripAsCp1251AndEmptiedAddressStaysEmpty)
{
    SettingsValues v = defaults();
    section(v, "GSM").setText("sms", "Привет");
    section(v, "GSM").setText("apnapn", "internet.mts.ru");
    section(v, "485").setText("LLSAddr3", "");
    ASSERT_TRUE(writeSettings(path_, v));
    const std::string bytes = readBytes(path_);
    EXPECT_NE(bytes.find("sms=\xCF\xF0\xE8\xE2\xE5\xF2\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("LLSAddr3=\r\n"), std::string::npos);

    const SettingsValues back = readSettings(path_);
    EXPECT_EQ(section(back, "GSM").text("sms"), "Привет");
    EXPECT_EQ(section(back, "GSM").text("apnapn"), "internet.mts.ru");
    EXPECT_EQ(section(back, "485").text("LLSAddr3"), "");
    EXPECT_EQ(section(back, "485").text("LLSAddr4"), "4");
}

TEST_F(SettingsTest, LineBreakInAValueCannotAddAKey)
{
    SettingsValues v = defaults();
    section(v, "GSM").setText("apnpwd", "secret\r\nReadGSMAuto=0\n[CONFIG]\nAutoStart=1");
    ASSERT_TRUE(writeSettings(path_, v));
    const SettingsValues back = readSettings(path_);
    EXPECT_TRUE(section(back, "GSM").flag("ReadGSMAuto"));
    EXPECT_FALSE(section(back, "CONFIG").flag("AutoStart"));
    EXPECT_EQ(section(back, "GSM").text("apnpwd"), "secretReadGSMAuto=0[CONFIG]AutoStart=1");
    EXPECT_EQ(ProfileFile::load(path_).lines().size(), 18u + 3u + 2u);  // keys, headers, separators
}

TEST_F(SettingsTest, UnwritablePlaceReturnsFalseAndLeavesNoTemporaryFile)
{
    const std::string root = dir_.path().toStdString();
    writeBytes(root + "/plain", "x");
    EXPECT_FALSE(writeSettings(root + "/plain/" + kSettingsFileName, defaults()));
    EXPECT_FALSE(writeSettings(std::string("/proc/") + kSettingsFileName, defaults()));

    fs::create_directory(path_);  // rename cannot replace a directory
    EXPECT_FALSE(writeSettings(path_, defaults()));
    for (const auto& entry : fs::directory_iterator(root))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

// The reader sizes its buffer from the file, and a file longer than its
// size said (as /proc's files are: size 0) is still read whole or refused
// at the limit, never cut short.
TEST(RegularFileTest, ReadsWholeFilesWhateverTheirStatedSize)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("exact.ini").toStdString();
    const std::string content(4096, 'x');
    std::ofstream(path, std::ios::binary) << content;
    struct Case {
        std::string path;
        size_t maxBytes;
        FileReadResult result;
    };
    const Case cases[] = {
        {path, content.size(), FileReadResult::Ok},
        {path, content.size() - 1, FileReadResult::TooLarge},
        {"/proc/self/mountinfo", 1 << 20, FileReadResult::Ok},
        {"/proc/self/mountinfo", 16, FileReadResult::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.maxBytes));
        std::string bytes = "before";
        EXPECT_EQ(readRegularFile(c.path, c.maxBytes, bytes), c.result);
        if (c.result != FileReadResult::Ok) {
            EXPECT_EQ(bytes, "before");
            continue;
        }
        if (c.path == path) {
            EXPECT_EQ(bytes, content);
        } else {
            // Every line of it, up to its last line break.
            EXPECT_GT(bytes.size(), 16u);
            EXPECT_EQ(bytes.back(), '\n');
        }
    }
}

TEST(ProfileFileTest, ParsesLfCrlfNulAndLongLines)
{
    const std::string longValue(200000, 'v');
    using namespace std::string_literals;
    const std::string bytes = "[A]\nk1=one\r\n  K2 =  two  \r\nnul=a\0b\n[ b ]\nlong="s + longValue
        + "\n;k3=commented\nk3";
    const ProfileFile file = ProfileFile::parse(bytes);
    EXPECT_EQ(file.get("a", "K1"), "one");
    EXPECT_EQ(file.get("A", "k2"), "two");
    EXPECT_EQ(file.get("A", "nul"), "a\0b"s);
    EXPECT_EQ(file.get("B", "long"), longValue);
    EXPECT_EQ(file.get("B", "k3"), std::nullopt);
    EXPECT_EQ(file.get("C", "k1"), std::nullopt);
}

}  // namespace
}  // namespace ktx
