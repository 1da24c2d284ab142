#pragma once
// Reading the ROM code of the single device on the 1-Wire bus ("G1WIRE$"):
// up to five attempts at a 20-byte reply, the same command text resent each
// time.
#include <string>

#include "link/AppContext.h"

namespace ktx::onewire {

enum class IdentifierOutcome {
    OpenFailed,   // "Ошибка при открытии порта USB" written
    SendFailed,   // five attempts without 20 bytes: "Ошибка отправки данных устройству" written
    WrongPrefix,  // 20 bytes not starting "1WIRE=": "Ошибка считывания ID iButton" written
    Read,         // text holds the identifier or "NC"
};

struct IdentifierResult {
    IdentifierOutcome outcome = IdentifierOutcome::OpenFailed;
    std::string text;
};

constexpr int kAttempts = 5;
constexpr uint32_t kRetryPauseMs = 100;

IdentifierResult readIdentifier(AppContext& context);

}  // namespace ktx::onewire
