#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FirmwareBuilder.h"
#include "TelitBench.h"
#include "telit/FirmwareFile.h"

namespace ktx::telit::test {
namespace {

// The bytes as a file the reader can work on.
FileHandle fileOf(const std::string& bytes)
{
    FileHandle file(std::tmpfile(), std::fclose);
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

TEST(FirmwareReader, ReadsHeaderNamesUpToTheirZeroOrAllThirtyTwoBytes)
{
    const std::string full32(32, 'N');
    FirmwareBuilder firmware("FW 1.0", full32, 70);
    firmware.record("A");
    const FileHandle file = fileOf(firmware.bytes);
    FirmwareReader reader(file.get());
    FirmwareHeader header;
    ASSERT_TRUE(reader.readHeader(header));
    EXPECT_EQ(header.length, 70);
    EXPECT_EQ(header.firmwareName, "FW 1.0");
    EXPECT_EQ(header.targetName, full32);
    // The unused rest of the header is skipped: the record follows.
    FirmwareRecord record;
    ASSERT_EQ(reader.readRecord(record), RecordRead::Record);
    EXPECT_EQ(record.payload, "A");
    EXPECT_EQ(reader.readRecord(record), RecordRead::End);
}

TEST(FirmwareReader, RefusesHeadersThatAreCutShortOrTooShort)
{
    const std::string valid = FirmwareBuilder("FW", "T", 80).bytes;
    std::string lengthBelowFields = FirmwareBuilder().bytes;
    lengthBelowFields[0] = 65;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"13 bytes", valid.substr(0, 13)},
        {"65 bytes", valid.substr(0, 65)},
        {"header length 65", lengthBelowFields},
        {"header length beyond the end", valid.substr(0, 79)},
    };
    for (const auto& c : cases) {
        const FileHandle file = fileOf(c.bytes);
        FirmwareHeader header;
        EXPECT_FALSE(FirmwareReader(file.get()).readHeader(header)) << c.what;
    }
}

TEST(FirmwareReader, TellsACleanEndFromARecordCutShort)
{
    FirmwareBuilder firmware;
    firmware.record(payloadOf(1000));
    const std::string whole = firmware.bytes;
    const struct {
        const char* what;
        std::string bytes;
        RecordRead second;
        size_t payloadRead;
    } cases[] = {
        {"clean end", whole, RecordRead::End, 0},
        {"one byte of a length", whole + "\x05", RecordRead::LengthCut, 0},
        {"payload cut", whole + std::string("\x09\x00" "abc", 5), RecordRead::PayloadCut, 3},
        {"payload missing", whole + std::string("\x09\x00", 2), RecordRead::PayloadCut, 0},
    };
    for (const auto& c : cases) {
        const FileHandle file = fileOf(c.bytes);
        FirmwareReader reader(file.get());
        FirmwareHeader header;
        FirmwareRecord record;
        ASSERT_TRUE(reader.readHeader(header));
        ASSERT_EQ(reader.readRecord(record), RecordRead::Record) << c.what;
        EXPECT_EQ(record.payload, payloadOf(1000));
        EXPECT_EQ(reader.readRecord(record), c.second) << c.what;
        EXPECT_EQ(record.payload.size(), c.payloadRead) << c.what;
    }
}

TEST(FirmwareReader, LargestRecordHoldsAllSixtyFiveThousandBytes)
{
    FirmwareBuilder firmware;
    firmware.record(payloadOf(65536, 3));
    const FileHandle file = fileOf(firmware.bytes);
    FirmwareReader reader(file.get());
    FirmwareHeader header;
    FirmwareRecord record;
    ASSERT_TRUE(reader.readHeader(header));
    ASSERT_EQ(reader.readRecord(record), RecordRead::Record);
    EXPECT_EQ(record.lastIndex, 65535);
    EXPECT_EQ(record.payload, payloadOf(65536, 3));
}

TEST(EraseRecord, IsKnownByEitherCodeAtTheStartOfAtLeastFourBytes)
{
    const struct {
        std::string payload;
        bool erase;
    } cases[] = {
        {erasePayload(4), true},
        {erasePayload(600, true), true},
        {std::string("\xA9\x6A\xC8", 3), false},
        {std::string("\x00\xA9\x6A\xC8\x41", 5), false},
        {std::string("\xA9\x6A\xC8\x42", 4), false},
        {"\x1D", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EraseRecord::matches(c.payload), c.erase) << c.payload.size();
}

TEST(FirmwareFile, OpensOnlyRegularFiles)
{
    ScratchDir dir;
    EXPECT_FALSE(openFirmwareFile(dir.file("missing.bin")));
    EXPECT_FALSE(openFirmwareFile(dir.path.string())) << "a directory";
    const std::string fifo = dir.file("fifo.bin");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(openFirmwareFile(fifo)) << "a FIFO must neither block nor be read";
    FirmwareBuilder().writeTo(dir.path / "ok.bin");
    EXPECT_TRUE(openFirmwareFile(dir.file("ok.bin")));
}

}  // namespace
}  // namespace ktx::telit::test
