#pragma once
// One status poll: DEVICE_TEST (carrying the wanted output states) and
// ADD_TEST over a fast-opened channel, the AIN and COUNT data log lines, and
// the stamps the frequency calculation needs.
#include <string>

#include "link/AppContext.h"
#include "io/StatusRecord.h"
#include "io/StatusReplies.h"

namespace ktx::io {

// "DEVICE_TEST,%d,%d$" with output 1 and output 2 (1 = on).
std::string deviceTestCommand(bool output1, bool output2);

struct PollOutcome {
    bool opened = false;  // false: "Устройство не подключено" was written, the poll must stop
    int deviceTestFields = 0;  // of the DEVICE_TEST reply; the rest kept their old values
    AddTestScan addTest;
};

class StatusPoll {
public:
    explicit StatusPoll(AppContext& context) : context_(context) {}

    PollOutcome poll(bool output1, bool output2);
    // Starting or stopping the test forgets the stamps.
    void resetStamps() { stamps_ = {}; }

    const StatusRecord& record() const { return record_; }
    const StatusStamps& stamps() const { return stamps_; }

private:
    void writeAinLine();
    void writeCountLine();

    AppContext& context_;
    StatusRecord record_;
    StatusStamps stamps_;
};

}  // namespace ktx::io
