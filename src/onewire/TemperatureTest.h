#pragma once
// The continuous temperature test: each tick serves the next of the eight
// sensors ("GTEMPFROMADDR=<address>;$"), logs a valid reading and says how
// the tick ended. The sensor index outlives stops and restarts.
#include <string>

#include "link/AppContext.h"

namespace ktx::onewire {

enum class TickOutcome {
    OpenFailed,  // "Ошибка при открытии порта USB" written; the test must stop
    Unreadable,  // five unreadable replies: "Ошибка отправки данных устройству" written; the test must stop
    NoReply,     // five replies too short to hold a number; nothing said, the test goes on
    NoReading,   // the device's -55.0: nothing shown or logged
    Reading,     // value logged; show it
};

struct TickResult {
    TickOutcome outcome = TickOutcome::NoReply;
    float value = 0;
};

class TemperatureTest {
public:
    explicit TemperatureTest(AppContext& context) : context_(context) {}

    // Moves to the next sensor (0..7) and returns it; the first call after
    // start-up serves sensor index 1.
    int advance();
    int sensor() const { return index_; }

    // Polls the current sensor at address (Windows-1251, cut to twelve bytes).
    TickResult poll(const std::string& address);

private:
    AppContext& context_;
    int index_ = 0;
};

}  // namespace ktx::onewire
