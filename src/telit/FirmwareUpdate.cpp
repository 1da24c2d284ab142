#include "telit/FirmwareUpdate.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <new>

#include "base/FileWriter.h"
#include "base/TextCodec.h"
#include "link/LinkSession.h"
#include "link/UsbAccess.h"
#include "link/WriteReport.h"
#include "telit/RawBlock.h"

namespace ktx::telit {
namespace {

// The console's texts are Windows-1251, the sources UTF-8.
std::string cp(const char* utf8)
{
    return cp1251FromUtf8(utf8);
}

bool contains(const char* reply, const char* text)
{
    return std::strstr(reply, text) != nullptr;
}

// Size of the open file; 0 when it can't be told.
uint64_t fileBytes(std::FILE* file)
{
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && status.st_size > 0 ? uint64_t(status.st_size) : 0;
}

}  // namespace

struct FirmwareUpdate::DebugFiles {
    // Diagnosis only: a file that cannot be written is said once on the debug
    // console and then skipped; the update goes on.
    class File {
    public:
        File(LogSink& log, const std::string& path) : log_(log), path_(path)
        {
            usable_ = reportWrite(log_, replaceFile(path_, {}));
        }
        void append(std::string_view bytes)
        {
            if (usable_ && !bytes.empty())
                usable_ = reportWrite(log_, appendToFile(path_, bytes));
        }

    private:
        LogSink& log_;
        std::string path_;
        bool usable_ = false;
    };

    File records;
    File blocks;

    DebugFiles(LogSink& log, const std::string& dir)
        : records(log, dir + "/" + kRecordDebugFile), blocks(log, dir + "/" + kBlockDebugFile)
    {
    }
};

std::string ctimeText(int64_t utcMs)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t seconds = static_cast<time_t>(utcMs / 1000);
    struct tm local {};
    if (!localtime_r(&seconds, &local))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d", kDays[local.tm_wday % 7], kMonths[local.tm_mon % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

namespace {

// Opens the file and reads its header; says on the TELIT console why not.
HeaderCheck openWithHeader(LogSink& log, const std::string& path, FileHandle& file, FirmwareHeader& header)
{
    file = openFirmwareFile(path);
    if (!file) {
        LogTelit(log, cp("Ошибка открытия файла %s").c_str(), cp1251FromUtf8(path).c_str());
        return HeaderCheck::CannotOpen;
    }
    if (!FirmwareReader(file.get()).readHeader(header)) {
        LogTelit(log, cp("Ошибка при чтении файла %s").c_str(), cp1251FromUtf8(path).c_str());
        return HeaderCheck::Incomplete;
    }
    return HeaderCheck::Valid;
}

void logHeader(LogSink& log, const FirmwareHeader& header)
{
    LogTelit(log, cp("Прошивка %s для %s").c_str(), header.firmwareName.c_str(), header.targetName.c_str());
}

}  // namespace

HeaderCheck checkFirmwareHeader(LogSink& log, const std::string& path)
{
    FileHandle file(nullptr, std::fclose);
    FirmwareHeader header;
    const HeaderCheck check = openWithHeader(log, path, file, header);
    if (check == HeaderCheck::Valid)
        logHeader(log, header);
    return check;
}

FirmwareUpdate::FirmwareUpdate(AppContext& context, UpdateView& view, std::string workDir)
    : context_(context), view_(view), workDir_(std::move(workDir))
{
    frame_.reserve(RawBlock::kFullBytes);
}

std::string outcomeLine(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::LinkFailed:
        return "Перепрошивка модема не выполнена: ошибка открытия порта USB";
    case UpdateOutcome::PowerOnFailed:
        return "Перепрошивка модема не выполнена: модем не включился";
    case UpdateOutcome::ModeSwitchFailed:
        return "Перепрошивка модема не выполнена: модем не перешёл в режим загрузки";
    case UpdateOutcome::FileOpenFailed:
        return "Перепрошивка модема не выполнена: файл прошивки не открывается";
    case UpdateOutcome::HeaderIncomplete:
        return "Перепрошивка модема не выполнена: заголовок файла прошивки неполный";
    case UpdateOutcome::Failed:
        return "Перепрошивка модема не удалась";
    case UpdateOutcome::Done:
        break;
    }
    return "Перепрошивка модема завершена";
}

int progressMaximum(uint64_t fileBytes)
{
    return static_cast<int>(std::clamp<uint64_t>(fileBytes / 1000, 1, INT_MAX));
}

UpdateOutcome FirmwareUpdate::run(const std::string& firmwarePath)
{
    // The file is opened and its header read before the modem is touched: a
    // path that can't be read must not leave the modem powered on and in its
    // loading mode for ten seconds before the update fails anyway.
    FileHandle file(nullptr, std::fclose);
    FirmwareHeader header;
    switch (openWithHeader(context_.log, firmwarePath, file, header)) {
    case HeaderCheck::CannotOpen:
        return UpdateOutcome::FileOpenFailed;
    case HeaderCheck::Incomplete:
        return UpdateOutcome::HeaderIncomplete;
    case HeaderCheck::Valid:
        break;
    }
    startMs_ = context_.time.monotonicMs();
    LogTelit(context_.log, "---------------------");
    LogTelit(context_.log, "%s", cp("Включение модуля GSM, начало перепрошивки:").c_str());
    LogTelit(context_.log, "%s", ctimeText(context_.time.wallClockUtcMs()).c_str());
    logHeader(context_.log, header);
    FirmwareReader reader(file.get());
    const UpdateOutcome outcome = runOnLink(reader, fileBytes(file.get()));
    // Whatever happened, the modem does not stay powered in its loading mode.
    view_.powerOff(context_);
    return outcome;
}

UpdateOutcome FirmwareUpdate::runOnLink(FirmwareReader& reader, uint64_t fileSize)
{
    LinkSession session(context_, LinkMode::Update);
    if (!session) {
        LogTelit(context_.log, "%s", portErrorText().c_str());
        return UpdateOutcome::LinkFailed;
    }
    return runOpened(reader, fileSize);
}

UpdateOutcome FirmwareUpdate::runOpened(FirmwareReader& reader, uint64_t fileSize)
{
    if (!powerOn())
        return UpdateOutcome::PowerOnFailed;
    if (!switchToLoadingMode())
        return UpdateOutcome::ModeSwitchFailed;
    blockNumber_ = 0;
    UpdateOutcome outcome;
    {
        DebugFiles debug(context_.log, workDir_);
        outcome = transfer(reader, fileSize, debug);
    }
    context_.time.beep(100, 100);
    return outcome;
}

void FirmwareUpdate::awaitReply(uint32_t budget)
{
    reply_.clear();
    context_.link.AwaitReply(reply_.data(), reply_.capacity(), budget);
}

void FirmwareUpdate::logReply()
{
    LogTelit(context_.log, cp("Ответ: (%02x) %s").c_str(), static_cast<unsigned char>(reply_.bytes[0]), reply_.c_str());
}

bool FirmwareUpdate::powerOn()
{
    context_.link.SendCommand("WORKGSM=1;$");
    awaitReply(kPowerOnBudget);
    int state = 0;
    if (std::sscanf(reply_.c_str(), "WORKGSM=%d", &state) != 1) {
        LogTelit(context_.log, cp("Ошибка запуска модуля GSM: %s").c_str(), reply_.c_str());
        return false;
    }
    LogTelit(context_.log, cp("Питание включено: %s").c_str(), reply_.c_str());
    context_.time.sleepMs(kPowerOnSettleMs);
    return true;
}

bool FirmwareUpdate::switchToLoadingMode()
{
    context_.link.SendCommand("TELITENTER;$");
    awaitReply(kModeSwitchBudget);
    logReply();
    const bool version1 = contains(reply_.c_str(), "TELITENTER=1");
    const bool version2 = contains(reply_.c_str(), "TELITENTER=2");
    if (!version1 && !version2) {
        LogTelit(context_.log, cp("Ошибка переключения в режим прошивки: %s").c_str(), reply_.c_str());
        return false;
    }
    if (version2)
        LogTelit(context_.log, "%s", cp("Версия модема V2").c_str());
    return true;
}

UpdateOutcome FirmwareUpdate::transfer(FirmwareReader& reader, uint64_t fileSize, DebugFiles& debug)
{
    const int maximum = progressMaximum(fileSize);
    view_.setProgressMaximum(maximum);
    FirmwareRecord record;
    uint64_t progressBytes = 0;
    bool endReached = false;
    for (;;) {
        RecordRead read;
        try {
            read = reader.readRecord(record);
        } catch (const std::bad_alloc&) {
            LogTelit(context_.log, cp("Ошибка выделения памяти: %d байт").c_str(), int(record.declaredSize()));
            break;
        }
        if (read == RecordRead::End) {
            endReached = true;
            break;
        }
        if (read == RecordRead::LengthCut)
            break;
        LogTelit(context_.log, cp("Прочитано %d байт").c_str(), int(record.payload.size()));
        debug.records.append(record.payload);
        // Bytes that are not in the file must never reach the modem's flash:
        // a record cut short by the file's end is not sent at all.
        if (read == RecordRead::PayloadCut)
            break;
        progressBytes += record.lastIndex;
        view_.setProgress(static_cast<int>(std::min<uint64_t>(progressBytes / 1000, uint64_t(maximum))));
        if (!sendRecord(record, debug) || !awaitRecord(record))
            break;
    }

    if (!endReached) {
        LogTelit(context_.log, "%s", cp("Ошибка перепрошивки модема, пожалуйста, повторите попытку").c_str());
        return UpdateOutcome::Failed;
    }
    const int64_t elapsedSeconds = (context_.time.monotonicMs() - startMs_) / 1000;
    LogTelit(context_.log, "%s", cp("Достигнут конец файла, конец перепрошивки:").c_str());
    LogTelit(context_.log, "%s", ctimeText(context_.time.wallClockUtcMs()).c_str());
    LogTelit(context_.log, cp("Время перепрошивки модема: %d минут %02d секунд").c_str(), int(elapsedSeconds / 60),
             int(elapsedSeconds % 60));
    view_.setProgress(maximum);
    return UpdateOutcome::Done;
}

void FirmwareUpdate::writeRaw(const std::string& bytes)
{
    // One write of the exact length: payloads hold zero bytes.
    UsbLink& link = context_.link;
    uint32_t written = 0;
    link.driver().FT_Write(link.handle(), bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
}

bool FirmwareUpdate::sendRecord(const FirmwareRecord& record, DebugFiles& debug)
{
    UsbLink& link = context_.link;
    for (const std::string_view piece : RawBlock::split(record.payload)) {
        RawBlock::frame(blockNumber_++, piece, frame_);
        const bool full = RawBlock::isFull(piece);
        if (full)
            debug.blocks.append("\r\n");
        debug.blocks.append(frame_);
        link.PurgeLink();
        writeRaw(frame_);
        awaitReply(kBlockBudget);
        if (full) {
            link.PurgeLink();
        } else {
            LogTelit(context_.log, cp("Ответ: (%02x) %s (ушло %d байт)").c_str(),
                     static_cast<unsigned char>(reply_.bytes[0]), reply_.c_str(), int(piece.size()));
        }
        // Any reply acknowledges the block; none ends the transfer.
        if (reply_.bytes[0] == 0)
            return false;
    }
    return true;
}

bool FirmwareUpdate::awaitRecord(const FirmwareRecord& record)
{
    const int64_t startMs = context_.time.monotonicMs();
    while (context_.time.monotonicMs() - startMs < kRecordWaitLimitMs) {
        // "GSMWAIT" goes without a terminator.
        context_.link.SendCommand("GSMWAIT");
        awaitReply(kWaitBudget);
        logReply();
        if (contains(reply_.c_str(), "GSMWAIT=1")) {
            context_.time.sleepMs(kRecordDoneSleepMs);
            return true;
        }
        if (!record.isErase()) {
            if (record.lastIndex < 10)
                for (const char byte : record.payload)
                    LogTelit(context_.log, "COMM: (%02x)", static_cast<unsigned char>(byte));
            return false;
        }
        LogTelit(context_.log, "Erasing...");
        if (contains(reply_.c_str(), "GSMWAIT=2"))
            return false;
    }
    // An erase the modem never reports done: the next record follows.
    return true;
}

}  // namespace ktx::telit
