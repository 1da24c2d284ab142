#pragma once
// The simulated tracker's relay side of a modem firmware update: it powers
// the modem, switches it into its loading mode, takes the raw blocks (their
// framing checked), answers the completion polls and keeps every record the
// modem received, so that tests can compare them with the file.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class TelitModule : public SimModule {
public:
    explicit TelitModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
    size_t frameLength(std::string_view commandStart) const override;
    int64_t lastReplyDelayMs() const override { return replyDelayMs_; }

    // Records the modem took in since the last mode switch; a record ends at
    // the first "GSMWAIT" after its blocks.
    const std::vector<std::string>& records() const { return records_; }
    uint64_t blocksReceived() const { return blockCount_; }
    // Blocks refused for their framing: a wrong number or count, a full block
    // after the short one of a record, a block outside the loading mode.
    uint64_t framingErrors() const { return framingErrors_; }
    uint64_t waitPolls() const { return waitPolls_; }
    bool loadingMode() const { return loading_; }

private:
    void enterLoadingMode(std::string& out);
    void takeBlock(std::string_view frame, std::string& out);
    void answerWait(std::string& out);
    void closeRecord();

    TelitScenario config_;
    bool loading_ = false;
    uint8_t expectedBlock_ = 0;
    uint64_t blockCount_ = 0;
    bool shortBlockSeen_ = false;  // the short block is a record's last
    std::string current_;          // the record being received
    std::vector<std::string> records_;
    int pollsLeft_ = 0;  // not-done answers before the last record is done
    uint64_t framingErrors_ = 0;
    uint64_t waitPolls_ = 0;
    int64_t replyDelayMs_ = 0;
};

}  // namespace ktx::sim
