#pragma once
// Scenario values of the relay and modem side of a modem firmware update,
// read from the scenario's "telit" object.
#include <cstdint>

namespace ktx::sim {

struct TelitScenario {
    int modemVersion = 1;    // "TELITENTER=%d;"; 0: the modem refuses its loading mode
    int enterDelayMs = 2000;  // the modem restarting into its loader
    int ackDelayMs = 1;       // after a block or a "GSMWAIT", beyond the scenario's latency
    int erasePolls = 3;       // "GSMWAIT=0;" answers before an erase record is done
    // Faults.
    int64_t silentBlock = -1;        // the block (counted from 0 since the mode switch) left unanswered
    bool eraseFails = false;         // erase records answered "GSMWAIT=2;"
    int64_t wrongAnswerRecord = -1;  // the record (from 0) whose polls all get "GSMWAIT=0;"
};

}  // namespace ktx::sim
