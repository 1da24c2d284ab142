#pragma once
// The modem pass-through: a frame carries one AT command and the time the
// device may spend collecting the modem's answer; the device replies with
// "GSMCOMMAND=" and what the modem said.
#include <cstdint>
#include <string>
#include <string_view>

namespace ktx::gsm {

enum class FrameEnding {
    CrDollar,       // "\r;$": the step tests and SendModemCommand
    CrSemicolon,    // "\r;": the call and the microphone test
    CrLfSemicolon,  // "\r\n;": the AT console, text as typed
};

inline constexpr std::string_view kReplyName = "GSMCOMMAND=";

// "GSMCOMMAND={timeoutMs},{payload}" and the ending.
std::string ModemFrame(int64_t timeoutMs, std::string_view payload, FrameEnding ending);
// "GSMCOMMAND={timeoutMs},+++;$": leaves a data or audio connection.
std::string EscapeFrame(int64_t timeoutMs);

// Milliseconds to sleep after a frame before reading its reply: the whole
// part of 1.1 times the timeout; a negative timeout waits nothing.
int64_t ModemWait(int64_t timeoutMs);

// A frame with the wait before its reply is read, both from one timeout so
// that they cannot disagree.
struct TimedFrame {
    std::string text;
    int64_t waitMs;
};
TimedFrame timedFrame(int64_t timeoutMs, std::string_view payload, FrameEnding ending = FrameEnding::CrDollar);
TimedFrame timedEscape(int64_t timeoutMs);

// The device answered the frame at all.
bool hasDeviceAnswer(std::string_view reply);
// What the modem said: the reply after the 11 bytes of "GSMCOMMAND=".
std::string_view modemText(std::string_view reply);

}  // namespace ktx::gsm
