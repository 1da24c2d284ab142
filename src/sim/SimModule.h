#pragma once
// One area of the simulated tracker's firmware (version, inputs and outputs,
// modem, ...). The device model hands each complete command to the first
// module that handles it; a new command is added by adding a module.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ktx::sim {

class SimModule {
public:
    virtual ~SimModule() = default;

    // command is complete, terminator included ("FL_READ_VERSION$").
    virtual bool handles(std::string_view command) const = 0;
    // Carries the command out at model time nowMs (ms since the device
    // started) and appends its reply to out; appending nothing means the
    // firmware stays silent. Called on the exchange path: no allocation
    // beyond out's growth.
    virtual void reply(std::string_view command, int64_t nowMs, std::string& out) = 0;
    // Commands of the shape NAME=...; end at ';' without '$' ("TIMER=...;",
    // "S485=...;", "TEST_DYN;"). A module that owns such a command says so
    // for the text received so far, which begins the command.
    virtual bool endsAtSemicolon(std::string_view commandStart) const
    {
        (void)commandStart;
        return false;
    }
    // Commands sent without a terminator, as raw bytes of a known length (a
    // header announcing its payload, or a fixed word): the whole command's
    // length once commandStart, the bytes received so far, shows it; else 0.
    // The bytes up to that length are taken as they are, '$' and ';' too.
    virtual size_t frameLength(std::string_view commandStart) const
    {
        (void)commandStart;
        return 0;
    }
    // Extra time, beyond the scenario's latency, before the reply of the
    // command last carried out leaves the device (a modem that answers
    // after seconds, a flash that takes its time).
    virtual int64_t lastReplyDelayMs() const { return 0; }
    // The PC's UTC time at model time 0, for a module that keeps time (a
    // clock, a receiver's fixes).
    virtual void setUtcAtStartMs(int64_t utcMs) { (void)utcMs; }
};

}  // namespace ktx::sim
