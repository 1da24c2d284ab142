#pragma once
// The GSM modem in the line check: the profile keys of its step.
#include <optional>
#include <string>

#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_gsm {
    int simIndex = 0;
    std::string pin;
    double registrationS = 30;
    std::optional<Range> signal;  // rssi 0..31
    bool gprs = false;
    std::string apn, apnUser, apnPassword;
    bool server = false;
    std::string serverIp, serverPort;
};

}  // namespace ktx::check
