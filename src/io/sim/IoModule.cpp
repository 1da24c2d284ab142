#include "io/sim/IoModule.h"

#include <algorithm>
#include <cmath>

#include "sim/SimRandom.h"
#include "sim/SimText.h"

namespace ktx::sim {

namespace {

constexpr std::string_view kDeviceTest = "DEVICE_TEST,";
constexpr std::string_view kAddTest = "ADD_TEST$";
constexpr int64_t kInt32Span = int64_t(1) << 31;  // firmware counters print as %d

}  // namespace

IoModule::IoModule(const Scenario& scenario) : values_(scenario) {}

bool IoModule::handles(std::string_view command) const
{
    return command.starts_with(kDeviceTest) || command == kAddTest;
}

void IoModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    if (command == kAddTest) {
        addTestReply(nowMs, out);
        return;
    }
    // "DEVICE_TEST,%d,%d$": anything else is not a command the firmware knows.
    std::string_view args = command.substr(kDeviceTest.size());
    int64_t out1 = 0;
    int64_t out2 = 0;
    if (!takeInt(args, out1) || !takeChar(args, ',') || !takeInt(args, out2) || args != "$")
        return;
    outputs_ = {static_cast<int>(std::clamp<int64_t>(out1, INT32_MIN, INT32_MAX)),
        static_cast<int>(std::clamp<int64_t>(out2, INT32_MIN, INT32_MAX))};
    deviceTestReply(nowMs, out);
}

int IoModule::analogAt(int channel, int64_t nowMs) const
{
    static constexpr int Scenario::*kBase[] = {&Scenario::power, &Scenario::ain1, &Scenario::ain2, &Scenario::battery};
    if (channel < 0 || channel > 3)
        return 0;
    const int value = values_.*kBase[channel] + noiseAt(values_.seed, channel, nowMs, values_.noise);
    return std::clamp(value, 0, 1023);
}

int32_t IoModule::counterAt(int k, int64_t nowMs) const
{
    if (k < 0 || k > 7 || nowMs <= 0)
        return 0;
    const double counts = std::floor(values_.counterRates[static_cast<size_t>(k)] * static_cast<double>(nowMs) / 1000.0);
    return static_cast<int32_t>(std::fmod(counts, static_cast<double>(kInt32Span)));
}

int32_t IoModule::deviceTimeAt(int64_t nowMs) const
{
    // Wraps within 1..2^31-1: a value of 0 or below means "no device time".
    const int64_t t = (values_.deviceTimeStartMs - 1 + std::max<int64_t>(nowMs, 0)) % (kInt32Span - 1);
    return static_cast<int32_t>(t + 1);
}

void IoModule::deviceTestReply(int64_t nowMs, std::string& out) const
{
    const auto& in = values_.inputs;
    const int64_t fields[] = {analogAt(0, nowMs), in[0], in[1], analogAt(1, nowMs), analogAt(2, nowMs),
        counterAt(0, nowMs), counterAt(1, nowMs), analogAt(3, nowMs), in[2] + 10 * in[3]};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0)
            out += ',';
        appendInt(out, fields[i]);
    }
    if (values_.deviceTime) {
        out += ",tt=";
        appendInt(out, deviceTimeAt(nowMs));
    }
    out += "\r\n";
}

void IoModule::addTestReply(int64_t nowMs, std::string& out) const
{
    const auto& in = values_.inputs;
    out += "ADD_TEST=";
    appendInt(out, counterAt(2, nowMs));
    out += ',';
    appendInt(out, counterAt(3, nowMs));
    out += ',';
    appendInt(out, antennaReading_ ? antennaReading_(nowMs) : 0);  // antenna supply
    for (size_t k = 4; k < 8; ++k) {
        out += ',';
        appendInt(out, in[k]);
    }
    out += ',';
    appendInt(out, values_.deviceTime ? deviceTimeAt(nowMs) : 0);
    if (values_.longAddTest) {
        for (int k = 4; k < 8; ++k) {
            out += ',';
            appendInt(out, counterAt(k, nowMs));
        }
    }
    out += ";\r\n";
}

}  // namespace ktx::sim
