#include "rs485/sim/Rs485Module.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "rs485/Crc8.h"
#include "sim/SimRandom.h"
#include "sim/SimText.h"

namespace ktx::sim {
namespace {

constexpr std::string_view kFuel = "LLSTEST=";
constexpr std::string_view kFuelEnd = ";$";
constexpr std::string_view kExtender = "S485=";
// The pass-through parameters the extender is reached with.
constexpr std::string_view kExtenderRequest = "S485=5:7:50:19200:";
constexpr std::string_view kExpectedFrame = "31FD0500A5;";
constexpr int kLevelNoiseChannel = 400;
constexpr int kChecksumChannel = 450;

}  // namespace

Rs485Module::Rs485Module(const Scenario& scenario) : values_(scenario.rs485), seed_(scenario.seed) {}

bool Rs485Module::handles(std::string_view command) const
{
    return command.starts_with(kFuel) || command.starts_with(kExtender);
}

bool Rs485Module::endsAtSemicolon(std::string_view commandStart) const
{
    return commandStart.starts_with(kExtender);
}

void Rs485Module::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    lastDelayMs_ = command.starts_with(kFuel) ? kFuelPollMs : kExtenderAnswerMs;
    if (command.starts_with(kFuel)) {
        if (!command.ends_with(kFuelEnd))
            return;
        command.remove_prefix(kFuel.size());
        command.remove_suffix(kFuelEnd.size());
        fuelReply(command, nowMs, out);
        return;
    }
    if (command.starts_with(kExtenderRequest))
        extenderReply(command.substr(kExtenderRequest.size()), out);
}

const FuelSensor* Rs485Module::sensorAt(std::string_view address) const
{
    for (const auto& sensor : values_.fuelSensors)
        if (sensor.address == address)
            return &sensor;
    return nullptr;
}

int Rs485Module::levelAt(std::string_view address, int64_t nowMs) const
{
    const FuelSensor* sensor = sensorAt(address);
    if (!sensor)
        return kAbsent;
    const auto slot = static_cast<int>(sensor - values_.fuelSensors.data());
    const int64_t level = int64_t(sensor->level) + noiseAt(seed_, kLevelNoiseChannel + slot, nowMs, values_.levelNoise);
    return static_cast<int>(std::clamp<int64_t>(level, INT32_MIN, INT32_MAX));
}

void Rs485Module::fuelReply(std::string_view addresses, int64_t nowMs, std::string& out) const
{
    // Eight addresses; an empty one asks no sensor.
    out += kFuel;
    for (int slot = 0; slot < 8; ++slot) {
        const size_t comma = addresses.find(',');
        const std::string_view address = slot < 7 ? addresses.substr(0, comma) : addresses;
        if (slot < 7)
            addresses = comma == std::string_view::npos ? std::string_view() : addresses.substr(comma + 1);
        const FuelSensor* sensor = sensorAt(address);
        if (slot > 0)
            out += ':';
        appendInt(out, levelAt(address, nowMs));
        out += ',';
        appendInt(out, sensor ? sensor->temperature : kAbsent);
    }
    out += ';';
}

void Rs485Module::extenderReply(std::string_view frame, std::string& out)
{
    if (frame != kExpectedFrame || !values_.extenderPresent)
        return;  // nothing on the bus answers
    std::array<uint8_t, 7> answer{0x3E, 0xFD, 0x07, 0x00, 0, 0, 0};
    uint8_t p = 0;
    uint8_t m = 0;
    for (int bit = 0; bit < 8; ++bit) {
        // Group P reads 1 for a 0 bit, group M for a 1 bit.
        if (!values_.extenderInputs[static_cast<size_t>(bit)])
            p = static_cast<uint8_t>(p | (1u << bit));
        if (values_.extenderInputs[static_cast<size_t>(8 + bit)])
            m = static_cast<uint8_t>(m | (1u << bit));
    }
    answer[4] = p;
    answer[5] = m;
    answer[6] = rs485::crc8(std::span(answer).first(6));
    if (unitAt(seed_, kChecksumChannel, answers_++) < values_.badChecksum)
        answer[6] = static_cast<uint8_t>(answer[6] ^ 0x5A);
    char text[40];
    std::snprintf(text, sizeof text, "S485=7:%02X%02X%02X%02X%02X%02X%02X;", answer[0], answer[1], answer[2],
        answer[3], answer[4], answer[5], answer[6]);
    out += text;
}

}  // namespace ktx::sim
