#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "support/FifoRelease.h"
#include "FirmwareBuilder.h"
#include "TelitBench.h"
#include "support/ScriptedDriver.h"
#include "telit/RawBlock.h"

namespace ktx::telit::test {
namespace {

// What the block debug file must hold for these payloads, numbered from 0.
std::string blockCopyOf(const std::vector<std::string>& payloads)
{
    std::string copy;
    uint8_t number = 0;
    for (const auto& payload : payloads) {
        for (const std::string_view piece : RawBlock::split(payload)) {
            std::string frame;
            RawBlock::frame(number++, piece, frame);
            if (RawBlock::isFull(piece))
                copy += "\r\n";
            copy += frame;
        }
    }
    return copy;
}

FirmwareBuilder mixedFirmware()
{
    FirmwareBuilder firmware("LE910C1 25.30.226", "LE910C1-EU", 90);
    firmware.record(erasePayload(16))
        .record(payloadOf(2000, 0x24))  // 3 full blocks and a short one, '$' and ';' inside
        .record(payloadOf(580, 1))
        .record(payloadOf(581, 2))
        .record(std::string(1, '\0'))
        .record(erasePayload(8, true))
        .record(payloadOf(65536, 9));
    return firmware;
}

TEST(FirmwareUpdate, ModemReceivesEveryRecordExactlyAsInTheFile)
{
    UpdateBench bench;
    const FirmwareBuilder firmware = mixedFirmware();
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);

    EXPECT_EQ(bench.modem().records(), firmware.payloads);
    EXPECT_EQ(bench.modem().framingErrors(), 0u);
    EXPECT_EQ(bench.driver().baudRate(), 1000000u) << "divisor 3";
    EXPECT_FALSE(bench.driver().isOpen()) << "the update link is closed";
    EXPECT_EQ(bench.view.powerOffs, 1);
    EXPECT_EQ(bench.view.maximum, progressMaximum(firmware.bytes.size()));
    EXPECT_EQ(bench.view.progress.back(), bench.view.maximum);
    EXPECT_EQ(bench.view.progress.front(), 0) << "15 of the erase record's bytes: 0 thousands";

    EXPECT_EQ(bench.debugFile(kRecordDebugFile), firmware.allPayloads());
    EXPECT_EQ(bench.debugFile(kBlockDebugFile), blockCopyOf(firmware.payloads));
    ASSERT_EQ(bench.time.beeps().size(), 1u);
    EXPECT_EQ(bench.time.beeps()[0].frequencyHz, 100u);

    EXPECT_TRUE(bench.hasLine("Прошивка LE910C1 25.30.226 для LE910C1-EU"));
    EXPECT_TRUE(bench.hasLine("Прочитано 65536 байт"));
    EXPECT_TRUE(bench.hasLine("Ответ: (47) GSMRAW=OK; (ушло 260 байт)")) << "2000 = 3 x 580 + 260";
    EXPECT_TRUE(bench.hasLine("Достигнут конец файла, конец перепрошивки:"));
    EXPECT_FALSE(bench.hasLine("Версия модема V2"));
    EXPECT_EQ(bench.log.telit.front(), "---------------------");
}

TEST(FirmwareUpdate, ModemVersionTwoIsReportedAndChangesNothingElse)
{
    UpdateBench bench;
    bench.scenario.telit.modemVersion = 2;
    const FirmwareBuilder firmware = mixedFirmware();
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    EXPECT_TRUE(bench.hasLine("Версия модема V2"));
    EXPECT_EQ(bench.modem().records(), firmware.payloads);
}

TEST(FirmwareUpdate, BlockNumberWrapsAfter255)
{
    UpdateBench bench;
    FirmwareBuilder firmware;
    for (int i = 0; i < 258; ++i)
        firmware.record(std::string(1, char('a' + i % 26)));
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    EXPECT_EQ(bench.modem().framingErrors(), 0u);
    EXPECT_EQ(bench.modem().records(), firmware.payloads);
    const std::string blocks = bench.debugFile(kBlockDebugFile);
    EXPECT_NE(blocks.find("GSMRAW=255,1,vGSMRAW=000,1,wGSMRAW=001,1,x"), std::string::npos);
}

TEST(FirmwareUpdate, HeaderOnlyFileEndsAsAFinishedUpdate)
{
    UpdateBench bench;
    ASSERT_EQ(bench.run(FirmwareBuilder("FW", "T", 100)), UpdateOutcome::Done);
    EXPECT_EQ(bench.modem().blocksReceived(), 0u);
    EXPECT_TRUE(bench.hasLine("Достигнут конец файла, конец перепрошивки:"));
    EXPECT_EQ(bench.view.maximum, 1) << "a file under a thousand bytes still fills the bar";
    EXPECT_EQ(bench.view.progress, std::vector<int>{1});
    EXPECT_EQ(bench.debugFile(kRecordDebugFile), "");
}

// The bar counts thousands of the file's own bytes: a 7 KB file moves it
// record by record, a file past 4.5 MB is not cut off.
TEST(FirmwareUpdate, ProgressIsAShareOfTheFile)
{
    UpdateBench bench;
    FirmwareBuilder firmware("FW", "T", 100);
    firmware.record(payloadOf(3000)).record(payloadOf(3000, 1)).record(payloadOf(1000, 2));
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    ASSERT_EQ(bench.view.maximum, 7) << firmware.bytes.size() << " bytes";
    // Counted before each record goes out (its bytes past the first), then full.
    EXPECT_EQ(bench.view.progress, (std::vector<int>{2, 5, 6, 7}));

    const std::pair<uint64_t, int> maximums[] = {
        {0, 1}, {999, 1}, {1999, 1}, {2000, 2}, {1048576, 1048}, {7340032, 7340},
    };
    for (const auto& [fileBytes, maximum] : maximums)
        EXPECT_EQ(progressMaximum(fileBytes), maximum) << fileBytes;
}

TEST(FirmwareUpdate, RecordCutShortByTheFileEndIsNeverSent)
{
    const struct {
        const char* what;
        std::string tail;
        const char* readLine;  // nullptr: none for the cut record
    } cases[] = {
        {"payload cut", std::string("\xE7\x03", 2) + payloadOf(700, 5), "Прочитано 700 байт"},
        {"length cut", "\x10", nullptr},
    };
    for (const auto& c : cases) {
        UpdateBench bench;
        FirmwareBuilder firmware;
        firmware.record(payloadOf(900));
        firmware.bytes += c.tail;
        ASSERT_EQ(bench.run(firmware), UpdateOutcome::Failed) << c.what;
        EXPECT_EQ(bench.modem().records(), firmware.payloads) << c.what << ": only the whole record reached the modem";
        EXPECT_EQ(bench.modem().blocksReceived(), 2u) << c.what;
        EXPECT_EQ(bench.debugFile(kBlockDebugFile), blockCopyOf(firmware.payloads)) << c.what;
        if (c.readLine) {
            EXPECT_TRUE(bench.hasLine(c.readLine)) << c.what;
        }
        EXPECT_EQ(bench.countLines("Ошибка перепрошивки модема, пожалуйста, повторите попытку"), 1) << c.what;
        EXPECT_FALSE(bench.hasLine("Достигнут конец файла, конец перепрошивки:")) << c.what;
        EXPECT_EQ(bench.view.powerOffs, 1) << c.what;
    }
}

// The file is read before the modem is touched: a path that can't be read or
// a header cut short powers nothing, stops no poll and costs no wait.
TEST(FirmwareUpdate, UnreadableFileOrHeaderFailsBeforeTheModemIsPowered)
{
    FirmwareBuilder tooShort;
    tooShort.bytes[0] = 40;  // a length below the fields it must hold
    tooShort.record(payloadOf(10));
    using Path = std::filesystem::path;
    auto holding = [](std::string bytes) {
        return [bytes](const Path& file) { std::ofstream(file, std::ios::binary) << bytes; };
    };
    const struct {
        const char* what;
        std::function<void(const Path&)> make;  // none: no file at all
        UpdateOutcome outcome;
        const char* line;
    } cases[] = {
        {"header length too small", holding(tooShort.bytes), UpdateOutcome::HeaderIncomplete, "Ошибка при чтении файла "},
        {"file ends in the header", holding(FirmwareBuilder().bytes.substr(0, 13)), UpdateOutcome::HeaderIncomplete,
         "Ошибка при чтении файла "},
        {"empty file", holding(""), UpdateOutcome::HeaderIncomplete, "Ошибка при чтении файла "},
        {"no such file", nullptr, UpdateOutcome::FileOpenFailed, "Ошибка открытия файла "},
        {"a directory", [](const Path& file) { std::filesystem::create_directory(file); }, UpdateOutcome::FileOpenFailed,
         "Ошибка открытия файла "},
        // Sparse, so the test costs no disk: only its header may be read.
        {"100 MB of zeros",
         [](const Path& file) {
             std::ofstream(file, std::ios::binary).flush();
             std::filesystem::resize_file(file, 100u << 20);
         },
         UpdateOutcome::HeaderIncomplete, "Ошибка при чтении файла "},
    };
    for (const auto& c : cases) {
        UpdateBench bench;
        if (c.make)
            c.make(bench.dir.path / "firmware.bin");
        ASSERT_EQ(bench.runPath(bench.dir.file("firmware.bin")), c.outcome) << c.what;
        EXPECT_TRUE(bench.hasLine(c.line + bench.dir.file("firmware.bin"))) << c.what;
        EXPECT_FALSE(bench.hasLine("Включение модуля GSM, начало перепрошивки:")) << c.what;
        EXPECT_EQ(bench.modem().blocksReceived(), 0u) << c.what;
        EXPECT_EQ(bench.view.powerOffs, 0) << c.what << ": nothing was powered on";
        EXPECT_LT(bench.time.monotonicMs(), 100) << c.what << ": no power-on settle, no mode switch";
        EXPECT_TRUE(bench.time.beeps().empty()) << c.what;
        EXPECT_FALSE(std::filesystem::exists(bench.dir.path / kBlockDebugFile)) << c.what;
    }
}

TEST(FirmwareUpdate, EraseRecordIsPolledUntilTheModemIsDone)
{
    UpdateBench bench;
    bench.scenario.telit.erasePolls = 4;
    FirmwareBuilder firmware;
    firmware.record(erasePayload(32)).record(payloadOf(10));
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    EXPECT_EQ(bench.countLines("Erasing..."), 4);
    EXPECT_EQ(bench.countLines("Ответ: (47) GSMWAIT=0;"), 4);
    EXPECT_EQ(bench.countLines("Ответ: (47) GSMWAIT=1;"), 2);
    EXPECT_EQ(bench.modem().waitPolls(), 6u);
}

TEST(FirmwareUpdate, RefusedRecordsEndTheTransfer)
{
    const struct {
        const char* what;
        void (*fault)(sim::TelitScenario&);
        std::string first;  // the first record's payload
        int erasingLines;
        int commLines;
        uint64_t polls;
        uint64_t blocks;
    } cases[] = {
        {"erase reports a failure", [](sim::TelitScenario& s) { s.eraseFails = true; }, erasePayload(20), 1, 0, 1, 1},
        {"short record refused", [](sim::TelitScenario& s) { s.wrongAnswerRecord = 0; }, payloadOf(10), 0, 10, 1, 1},
        {"long record refused", [](sim::TelitScenario& s) { s.wrongAnswerRecord = 0; }, payloadOf(11), 0, 0, 1, 1},
        // 580 + 580 + 40: the short block after the lost one is not sent.
        {"block lost", [](sim::TelitScenario& s) { s.silentBlock = 1; }, payloadOf(1200), 0, 0, 0, 2},
    };
    for (const auto& c : cases) {
        UpdateBench bench;
        c.fault(bench.scenario.telit);
        FirmwareBuilder firmware;
        firmware.record(c.first).record(payloadOf(50));
        ASSERT_EQ(bench.run(firmware), UpdateOutcome::Failed) << c.what;
        EXPECT_EQ(bench.countLines("Erasing..."), c.erasingLines) << c.what;
        const auto comm = std::count_if(bench.log.telit.begin(), bench.log.telit.end(),
                                        [](const std::string& line) { return line.starts_with("COMM: ("); });
        EXPECT_EQ(comm, c.commLines) << c.what;
        EXPECT_EQ(bench.modem().waitPolls(), c.polls) << c.what << ": nothing is retried";
        EXPECT_EQ(bench.modem().blocksReceived(), c.blocks) << c.what << ": the second record is never sent";
        EXPECT_EQ(bench.countLines("Ошибка перепрошивки модема, пожалуйста, повторите попытку"), 1) << c.what;
    }
}

TEST(FirmwareUpdate, ShortRecordRefusalListsItsBytes)
{
    UpdateBench bench;
    bench.scenario.telit.wrongAnswerRecord = 0;
    FirmwareBuilder firmware;
    firmware.record(std::string("\x00\xFF\x24", 3));
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Failed);
    const std::vector<std::string> tail(bench.log.telit.end() - 4, bench.log.telit.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"COMM: (00)", "COMM: (ff)", "COMM: (24)",
                                              cp1251FromUtf8("Ошибка перепрошивки модема, пожалуйста, повторите попытку")}));
}

TEST(FirmwareUpdate, EraseThatNeverEndsIsGivenUpAfterTwoMinutesAndTheNextRecordFollows)
{
    UpdateBench bench;
    bench.scenario.telit.wrongAnswerRecord = 0;
    FirmwareBuilder firmware;
    firmware.record(erasePayload(40)).record(payloadOf(30));
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    EXPECT_EQ(bench.modem().records(), firmware.payloads);
    EXPECT_GT(bench.modem().waitPolls(), 100u);
    EXPECT_TRUE(bench.hasLine("Достигнут конец файла, конец перепрошивки:"));
}

TEST(FirmwareUpdate, ElapsedTimeIsWholeMinutesAndTwoDigitSeconds)
{
    // A device that answers at once and never finishes erasing: 5 s after
    // power-on, then two minutes of polls, each one 1 ms read.
    UpdateBench bench;
    ktx::test::ScriptedDriver driver{&bench.time};
    UsbLink link{driver, bench.time};
    AppContext context{link, bench.time, bench.log, bench.device};
    driver.onCommand("WORKGSM=1;$", {"WORKGSM=1;"});
    driver.onCommand("TELITENTER;$", {"TELITENTER=1;"});
    driver.onCommand("GSMWAIT", {"GSMWAIT=0;"});
    FirmwareBuilder firmware;
    firmware.record(erasePayload(4));
    std::string frame;
    RawBlock::frame(0, firmware.payloads[0], frame);
    driver.onCommand(frame, {"ok;"});
    firmware.writeTo(bench.dir.path / "fw.bin");
    FirmwareUpdate update(context, bench.view, bench.dir.path.string());
    ASSERT_EQ(update.run(bench.dir.file("fw.bin")), UpdateOutcome::Done);
    EXPECT_TRUE(bench.hasLine("Время перепрошивки модема: 2 минут 05 секунд"));
}

TEST(FirmwareUpdate, DeviceRefusalsStopEarlyButPowerTheModemOff)
{
    {
        UpdateBench bench;
        bench.driver().setPlugged(false);
        EXPECT_EQ(bench.run(mixedFirmware()), UpdateOutcome::LinkFailed);
        EXPECT_TRUE(bench.hasLine("Ошибка открытия порта USB"));
        EXPECT_EQ(bench.view.powerOffs, 1);
        EXPECT_TRUE(bench.time.beeps().empty());
    }
    {
        UpdateBench bench;
        bench.scenario.telit.modemVersion = 0;
        EXPECT_EQ(bench.run(mixedFirmware()), UpdateOutcome::ModeSwitchFailed);
        EXPECT_TRUE(bench.hasLine("Ошибка переключения в режим прошивки: TELITENTER=0;"));
        EXPECT_FALSE(std::filesystem::exists(bench.dir.path / kBlockDebugFile)) << "created only past the mode switch";
        EXPECT_FALSE(bench.driver().isOpen());
        EXPECT_EQ(bench.view.powerOffs, 1);
    }
}

TEST(FirmwareUpdate, PowerOnReplyMustParse)
{
    UpdateBench bench;
    bench.scenario.faults.silent = 1;
    EXPECT_EQ(bench.run(mixedFirmware()), UpdateOutcome::PowerOnFailed);
    EXPECT_TRUE(bench.hasLine("Ошибка запуска модуля GSM: "));
    EXPECT_FALSE(bench.driver().isOpen());
    // A budget of 100 empty 1 ms reads, not more.
    EXPECT_LT(bench.time.monotonicMs(), 200);
}

TEST(FirmwareUpdate, DebugFilesReplaceOldOnesAndDoNotFollowLinks)
{
    UpdateBench bench;
    const ScratchDir elsewhere;
    std::ofstream(elsewhere.path / "target.txt") << "keep";
    std::filesystem::create_symlink(elsewhere.path / "target.txt", bench.dir.path / kRecordDebugFile);
    std::ofstream(bench.dir.path / kBlockDebugFile) << "old content";
    FirmwareBuilder firmware;
    firmware.record("xyz");
    ASSERT_EQ(bench.run(firmware), UpdateOutcome::Done);
    EXPECT_EQ(ktx::test::readBytes(elsewhere.path / "target.txt"), "keep");
    EXPECT_EQ(bench.debugFile(kBlockDebugFile), "GSMRAW=000,3,xyz");
}

// Anyone may turn a debug file into a FIFO; the update must neither wait on
// it with the modem in loading mode nor write into it.
TEST(FirmwareUpdate, FifoInPlaceOfADebugFileIsSkippedAndSaidOnce)
{
    UpdateBench bench;
    const std::string fifo = bench.dir.file(kRecordDebugFile);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    FirmwareBuilder firmware;
    firmware.record("abc").record("def");
    UpdateOutcome outcome{};
    ASSERT_TRUE(ktx::test::finishesWithoutBlockingOn(fifo, [&] { outcome = bench.run(firmware); }));
    EXPECT_EQ(outcome, UpdateOutcome::Done);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(bench.debugFile(kBlockDebugFile), "GSMRAW=000,3,abcGSMRAW=001,3,def");
    int said = 0;
    for (const std::string& line : bench.log.debug)
        said += line.find(kRecordDebugFile) != std::string::npos;
    EXPECT_EQ(said, 1);
}

TEST(HeaderCheck, ReportsTheNamesOrWhyNot)
{
    UpdateBench bench;
    FirmwareBuilder("FW 2", "TARGET").writeTo(bench.dir.path / "ok.bin");
    std::ofstream(bench.dir.path / "short.bin", std::ios::binary) << std::string(65, 'x');
    EXPECT_EQ(checkFirmwareHeader(bench.log, bench.dir.file("ok.bin")), HeaderCheck::Valid);
    EXPECT_EQ(checkFirmwareHeader(bench.log, bench.dir.file("short.bin")), HeaderCheck::Incomplete);
    EXPECT_EQ(checkFirmwareHeader(bench.log, bench.dir.file("none.bin")), HeaderCheck::CannotOpen);
    EXPECT_EQ(bench.log.telit, (std::vector<std::string>{
                                   cp1251FromUtf8("Прошивка FW 2 для TARGET"),
                                   cp1251FromUtf8("Ошибка при чтении файла " + bench.dir.file("short.bin")),
                                   cp1251FromUtf8("Ошибка открытия файла " + bench.dir.file("none.bin")),
                               }));
}

TEST(CtimeText, HasTheCLibraryFormInLocalTime)
{
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    ::setenv("TZ", "MSK-3", 1);
    ::tzset();
    EXPECT_EQ(ctimeText(1796817600000LL), "Wed Dec  9 15:00:00 2026");
    EXPECT_EQ(ctimeText(1796817600000LL + 86400000LL * 25), "Sun Jan  3 15:00:00 2027");
    if (saved)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace ktx::telit::test
