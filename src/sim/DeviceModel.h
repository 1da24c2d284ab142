#pragma once
// The simulated tracker's firmware: splits the bytes the console writes into
// commands, hands each to the module that owns it and passes on the replies.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class VersionModule;

// Receives each reply as the firmware finishes it.
class ReplySink {
public:
    virtual ~ReplySink() = default;
    // delayMs: how much later than the usual latency the reply starts.
    virtual void onReply(std::string_view reply, int64_t delayMs) = 0;
};

class DeviceModel {
public:
    // With the version module and every area's modules, in the areas' order.
    explicit DeviceModel(const Scenario& scenario);
    ~DeviceModel();

    void addModule(std::unique_ptr<SimModule> module);

    // Bytes from the console at model time nowMs (ms since the device
    // started). Every command they complete is carried out; its reply, if
    // any, goes to sink. A partial command waits for the rest.
    void receive(std::string_view bytes, int64_t nowMs, ReplySink& sink);
    // Carries out one complete command; appends its reply (nothing for a
    // command no module knows, as the firmware ignores those).
    void execute(std::string_view command, int64_t nowMs, std::string& reply);

    // The module of type T, or nullptr: lets tests and the areas' own code
    // reach an area's state without the model knowing every area.
    template <typename T>
    T* module() const
    {
        for (const auto& m : modules_)
            if (auto* found = dynamic_cast<T*>(m.get()))
                return found;
        return nullptr;
    }

    VersionModule& version() { return *version_; }

    // Links between areas of the device go through the model, so no area's
    // module knows another's. The antenna supply, measured by the receiver's
    // module and reported by the input module (0 while none measures it):
    void setAntennaReading(std::function<int32_t(int64_t nowMs)> reading) { antennaReading_ = std::move(reading); }
    int32_t antennaReading(int64_t nowMs) const { return antennaReading_ ? antennaReading_(nowMs) : 0; }
    // The PC's UTC time at model time 0, for every module that keeps time.
    void setUtcAtStartMs(int64_t utcMs);
    // Bytes of an unfinished command.
    std::string_view partialCommand() const { return input_; }

private:
    bool semicolonEnds(std::string_view commandStart) const;
    size_t frameLength(std::string_view commandStart) const;
    void finishCommand(int64_t nowMs, ReplySink& sink);

    std::vector<std::unique_ptr<SimModule>> modules_;
    VersionModule* version_ = nullptr;
    std::function<int32_t(int64_t)> antennaReading_;
    std::string input_;
    std::string reply_;
    int64_t replyDelayMs_ = 0;
    int64_t lastByteMs_ = 0;
    size_t frameEnd_ = 0;  // length of the raw frame being received, 0 none
};

}  // namespace ktx::sim
