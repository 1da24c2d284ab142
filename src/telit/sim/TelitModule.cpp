#include "telit/sim/TelitModule.h"

#include <cstdio>

namespace ktx::sim {
namespace {

constexpr std::string_view kBlockPrefix = "GSMRAW=";
constexpr std::string_view kWaitCommand = "GSMWAIT";
constexpr size_t kFullBlockPayload = 580;
constexpr size_t kMaxFieldDigits = 3;

// A block header "GSMRAW=<number>,<count>," as far as it has arrived.
struct BlockHeader {
    std::string_view number;  // the digits as sent
    std::string_view count;
    size_t length = 0;        // header bytes, 0 while incomplete or malformed

    size_t countValue() const
    {
        size_t value = 0;
        for (const char c : count)
            value = value * 10 + size_t(c - '0');
        return value;
    }
};

// Digits up to a ',' from pos; false when something else comes first or
// there are too many. pos moves past the ','.
bool field(std::string_view text, size_t& pos, std::string_view& digits, bool& complete)
{
    const size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        ++pos;
    complete = pos < text.size();
    if (pos - start > kMaxFieldDigits || (complete && (text[pos] != ',' || pos == start)))
        return false;
    digits = text.substr(start, pos - start);
    if (complete)
        ++pos;
    return true;
}

BlockHeader parseHeader(std::string_view text)
{
    BlockHeader header;
    if (!text.starts_with(kBlockPrefix))
        return header;
    size_t pos = kBlockPrefix.size();
    bool complete = false;
    if (!field(text, pos, header.number, complete) || !complete)
        return header;
    if (!field(text, pos, header.count, complete) || !complete)
        return header;
    header.length = pos;
    return header;
}

bool isErase(std::string_view record)
{
    return record.starts_with(std::string_view("\xA9\x6A\xC8\x41", 4))
        || record.starts_with(std::string_view("\x1D\x8D\xC0\xFF", 4));
}

}  // namespace

TelitModule::TelitModule(const Scenario& scenario) : config_(scenario.telit) {}

bool TelitModule::handles(std::string_view command) const
{
    return command == "TELITENTER;$" || command == "WORKGSM=1;$" || command == kWaitCommand
        || command.starts_with(kBlockPrefix);
}

size_t TelitModule::frameLength(std::string_view commandStart) const
{
    if (commandStart == kWaitCommand)
        return kWaitCommand.size();
    if (commandStart.size() <= kBlockPrefix.size() || commandStart[0] != 'G')
        return 0;
    const BlockHeader header = parseHeader(commandStart);
    return header.length == 0 ? 0 : header.length + header.countValue();
}

void TelitModule::reply(std::string_view command, int64_t, std::string& out)
{
    replyDelayMs_ = config_.ackDelayMs;
    if (command == "TELITENTER;$")
        enterLoadingMode(out);
    else if (command == "WORKGSM=1;$")
        out += "WORKGSM=1;";
    else if (command == kWaitCommand)
        answerWait(out);
    else
        takeBlock(command, out);
}

void TelitModule::enterLoadingMode(std::string& out)
{
    replyDelayMs_ = config_.enterDelayMs;
    loading_ = config_.modemVersion != 0;
    expectedBlock_ = 0;
    blockCount_ = 0;
    shortBlockSeen_ = false;
    current_.clear();
    records_.clear();
    pollsLeft_ = 0;
    framingErrors_ = 0;
    waitPolls_ = 0;
    char text[24];
    std::snprintf(text, sizeof text, "TELITENTER=%d;", config_.modemVersion);
    out += text;
}

void TelitModule::takeBlock(std::string_view frame, std::string& out)
{
    const BlockHeader header = parseHeader(frame);
    const size_t count = header.countValue();
    const bool full = count == kFullBlockPayload && header.count.size() == 3;
    const bool shortBlock = count > 0 && count < kFullBlockPayload && header.count[0] != '0';
    const bool framed = loading_ && header.length != 0 && header.number.size() == 3
        && frame.size() == header.length + count && (full || shortBlock) && !shortBlockSeen_;
    const uint64_t index = blockCount_++;
    if (!framed) {
        ++framingErrors_;
        return;
    }
    int number = 0;
    for (const char c : header.number)
        number = number * 10 + (c - '0');
    if (number != expectedBlock_) {
        ++framingErrors_;
        expectedBlock_ = static_cast<uint8_t>(number + 1);
        return;
    }
    ++expectedBlock_;
    if (int64_t(index) == config_.silentBlock)
        return;  // lost on its way to the modem
    shortBlockSeen_ = shortBlock;
    current_.append(frame.substr(header.length));
    out += "GSMRAW=OK;";
}

void TelitModule::closeRecord()
{
    const bool erase = isErase(current_);
    records_.push_back(std::move(current_));
    current_.clear();
    shortBlockSeen_ = false;
    pollsLeft_ = erase ? config_.erasePolls : 0;
}

void TelitModule::answerWait(std::string& out)
{
    if (!loading_)
        return;
    ++waitPolls_;
    if (!current_.empty())
        closeRecord();
    if (records_.empty()) {
        out += "GSMWAIT=1;";
        return;
    }
    const bool erase = isErase(records_.back());
    if (int64_t(records_.size() - 1) == config_.wrongAnswerRecord) {
        out += "GSMWAIT=0;";
    } else if (erase && config_.eraseFails) {
        out += "GSMWAIT=2;";
    } else if (pollsLeft_ > 0) {
        --pollsLeft_;
        out += "GSMWAIT=0;";
    } else {
        out += "GSMWAIT=1;";
    }
}

}  // namespace ktx::sim
