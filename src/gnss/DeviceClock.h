#pragma once
// Reading the device's real-time clock and setting it from the PC's UTC
// time. Both open the channel (normal timeouts) and close it again; a failed
// open ends them silently.
#include <optional>
#include <string>

#include "gnss/ClockRegisters.h"
#include "link/AppContext.h"

namespace ktx::gnss {

struct ClockOutcome {
    bool opened = false;
    std::string text;  // READEDTIME after the exchange, UTF-8
    std::optional<ClockRegisters> registers;  // the clock's answer, when all seven came
};

// "GTIMER$": the decoded clock, or an empty text for a reply without seven
// registers.
ClockOutcome readClock(AppContext& context);

// "TIMER=...;" with the time source's UTC time, taken before the channel
// opens; the command and the reply go to the modem console. The clock's
// answer decoded, or "ошибка при установке".
ClockOutcome setClock(AppContext& context);

}  // namespace ktx::gnss
