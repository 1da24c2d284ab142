#pragma once
// The modem firmware update: open the file and read its header, power the modem on, switch it into its loading
// mode, stream the file's records to it in raw blocks, wait after each record
// until the modem has taken it in, and power it off again. Every line goes to
// the TELIT console; two debug files beside the program keep what was read
// and what was written.
#include <cstdint>
#include <string>

#include "link/AppContext.h"
#include "link/ReplyBuffer.h"
#include "telit/FirmwareFile.h"

namespace ktx::telit {

constexpr uint32_t kPowerOnBudget = 100;
constexpr uint32_t kModeSwitchBudget = 10000;
constexpr uint32_t kBlockBudget = 500;
constexpr uint32_t kWaitBudget = 1500;
constexpr uint32_t kPowerOnSettleMs = 5000;
constexpr uint32_t kRecordDoneSleepMs = 30;
constexpr int64_t kRecordWaitLimitMs = 120000;
constexpr const char* kRecordDebugFile = "telittest.txt";
constexpr const char* kBlockDebugFile = "telittest1.txt";

// What the update needs from the window.
class UpdateView {
public:
    virtual ~UpdateView() = default;
    // Before the first record: the bar runs from 0 to maximum.
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgress(int value) = 0;  // 0 to the maximum
    // The GSM tab's power-off handler, on the device the update runs on.
    virtual void powerOff(AppContext& device) = 0;
};

enum class UpdateOutcome {
    LinkFailed,
    PowerOnFailed,
    ModeSwitchFailed,
    FileOpenFailed,
    HeaderIncomplete,
    Failed,  // a record was refused, lost, cut short or not sent
    Done,
};

enum class HeaderCheck { CannotOpen, Incomplete, Valid };

// One line saying how an update ended (UTF-8), for the debug console.
std::string outcomeLine(UpdateOutcome outcome);

// The bar counts thousands of bytes of the file (at least 1, so that a file
// under a thousand bytes still fills it at the end).
int progressMaximum(uint64_t fileBytes);

// The header check: writes its line to the TELIT console; only a Valid file
// leaves the update button enabled.
HeaderCheck checkFirmwareHeader(LogSink& log, const std::string& path);

// "Www Mmm dd hh:mm:ss yyyy" in local time, as the C library's ctime gives it
// (without its line feed).
std::string ctimeText(int64_t utcMs);

class FirmwareUpdate {
public:
    // workDir receives the two debug files.
    FirmwareUpdate(AppContext& context, UpdateView& view, std::string workDir);

    UpdateOutcome run(const std::string& firmwarePath);

private:
    struct DebugFiles;

    UpdateOutcome runOnLink(FirmwareReader& reader, uint64_t fileSize);
    UpdateOutcome runOpened(FirmwareReader& reader, uint64_t fileSize);
    bool powerOn();
    bool switchToLoadingMode();
    UpdateOutcome transfer(FirmwareReader& reader, uint64_t fileSize, DebugFiles& debug);
    bool sendRecord(const FirmwareRecord& record, DebugFiles& debug);
    bool awaitRecord(const FirmwareRecord& record);
    void writeRaw(const std::string& bytes);
    void awaitReply(uint32_t budget);
    void logReply();

    AppContext& context_;
    UpdateView& view_;
    std::string workDir_;
    ReplyBuffer<999> reply_;
    std::string frame_;
    uint8_t blockNumber_ = 0;
    int64_t startMs_ = 0;
};

}  // namespace ktx::telit
