#pragma once
// One extender poll: the S485 request, a 55 ms wait, one read, the answer's
// checks with their memo485 messages, and the 485rash data log line.
#include <array>
#include <optional>
#include <string>

#include "link/AppContext.h"
#include "rs485/ExtenderFrame.h"

namespace ktx::rs485 {

constexpr uint32_t kExtenderWaitMs = 55;

struct ExtenderOutcome {
    bool opened = false;  // false: "Ошибка открытия порта USB" written, the poll must stop
    std::string command;  // the text sent (Windows-1251)
    std::string reply;    // the text read, up to its first zero byte
    // Set only for an accepted answer: inputs 9 to 24, true = reads "1".
    std::optional<std::array<bool, kExtenderInputs>> states;
};

ExtenderOutcome pollExtender(AppContext& context);

}  // namespace ktx::rs485
