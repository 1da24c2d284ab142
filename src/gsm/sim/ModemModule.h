#pragma once
// The simulated tracker's GSM modem: the power commands, the modem behind the
// "GSMCOMMAND=" pass-through frames (SIM, registration, GPRS, a socket to the
// data server, a call), the audio tests and the device's stored network
// settings.
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class ModemModule : public SimModule {
public:
    explicit ModemModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
    bool endsAtSemicolon(std::string_view commandStart) const override;
    int64_t lastReplyDelayMs() const override { return replyDelayMs_; }

    bool powered() const { return powered_; }
    bool simUnlocked() const { return sim_ == "ready"; }
    bool contextActive() const { return contextActive_; }
    bool connected() const { return connected_; }
    bool inDataMode() const { return dataMode_; }
    bool inCall() const { return inCall_; }
    const std::string& contextApn() const { return contextApn_; }

private:
    void frame(std::string_view command, int64_t nowMs, std::string& out);
    // The modem's answer to one AT command line, its time to answer in ms.
    void modemAnswer(std::string_view at, int64_t& answerMs, std::string& text);
    void pinEntry(std::string_view pin, std::string& text);
    // Identification, signal and network queries; false when at is none.
    bool identityAnswer(std::string_view at, std::string& text) const;
    // The error for a query the SIM card must answer while it can't.
    std::string simError() const;
    void settingsQuery(std::string_view command, std::string& out) const;
    void audio(std::string& out) const;
    void speakerStream(std::string& out) const;
    int registration() const;
    bool attached() const;

    ModemScenario scenario_;
    std::string sim_;
    int wrongPins_ = 0;
    bool powered_ = false;
    int64_t readyAtMs_ = -1;  // when the started modem answers; -1: not started
    bool cmee_ = false;
    std::string contextApn_;
    bool contextActive_ = false;
    bool connected_ = false;
    bool dataMode_ = false;
    bool inCall_ = false;
    int64_t replyDelayMs_ = 0;
};

}  // namespace ktx::sim
