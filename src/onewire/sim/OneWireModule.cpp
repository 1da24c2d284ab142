#include "onewire/sim/OneWireModule.h"

#include <cstdio>
#include <cctype>

#include "base/LogSink.h"
#include "sim/SimRandom.h"

namespace ktx::sim {
namespace {

constexpr std::string_view kIdentifier = "G1WIRE$";
constexpr std::string_view kTemperature = "GTEMPFROMADDR=";
constexpr std::string_view kTemperatureEnd = ";$";
constexpr double kNoReading = -55.0;
constexpr double kStep = 1.0 / 16;  // the sensors' resolution
constexpr int kOneWireNoiseChannel = 300;

bool sameAddress(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string serialHex(const std::array<uint8_t, 8>& rom)
{
    char text[13];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", rom[1], rom[2], rom[3], rom[4], rom[5], rom[6]);
    return text;
}

}  // namespace

OneWireModule::OneWireModule(const Scenario& scenario)
    : values_(scenario.onewire), seed_(scenario.seed), shortIdRepliesLeft_(scenario.onewire.shortIdReplies)
{
}

bool OneWireModule::handles(std::string_view command) const
{
    return command == kIdentifier || command.starts_with(kTemperature);
}

void OneWireModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    if (command == kIdentifier) {
        identifierReply(out);
        return;
    }
    if (!command.ends_with(kTemperatureEnd))
        return;
    command.remove_prefix(kTemperature.size());
    command.remove_suffix(kTemperatureEnd.size());
    temperatureReply(command, nowMs, out);
}

void OneWireModule::identifierReply(std::string& out)
{
    // The bus is wired-AND: devices answering together leave only the bits
    // they all share.
    std::array<uint8_t, 8> rom{};
    if (!values_.bus.empty()) {
        rom.fill(0xFF);
        for (const auto& code : values_.bus)
            for (size_t i = 0; i < rom.size(); ++i)
                rom[i] &= code[i];
    }
    out += "1WIRE=";
    out.append(reinterpret_cast<const char*>(rom.data()), rom.size());
    out += values_.bus.empty() ? ":false;" : ":true;";
    if (shortIdRepliesLeft_ != 0) {
        out.pop_back();  // 19 bytes: the read is retried
        if (shortIdRepliesLeft_ > 0)
            --shortIdRepliesLeft_;
    }
}

const TemperatureSensor* OneWireModule::sensorAt(std::string_view address) const
{
    // "0" skips the ROM match: the one device on the bus answers.
    if (address == "0") {
        if (values_.bus.size() != 1)
            return nullptr;
        return sensorAt(serialHex(values_.bus.front()));
    }
    for (const auto& sensor : values_.sensors)
        if (sameAddress(sensor.address, address))
            return &sensor;
    return nullptr;
}

double OneWireModule::temperatureAt(std::string_view address, int64_t nowMs) const
{
    const TemperatureSensor* sensor = sensorAt(address);
    if (!sensor || sensor->fault == SensorFault::NoReading)
        return kNoReading;
    const int steps = noiseAt(seed_, kOneWireNoiseChannel, nowMs, values_.noise);
    return sensor->temperature + steps * kStep;
}

void OneWireModule::temperatureReply(std::string_view address, int64_t nowMs, std::string& out) const
{
    const TemperatureSensor* sensor = sensorAt(address);
    if (sensor && sensor->fault == SensorFault::Silent)
        return;
    if (sensor && sensor->fault == SensorFault::Garbage) {
        out += "TEMPFROMADDR=CRC ERR;";
        return;
    }
    out += formatText("TEMPFROMADDR=%.4f;", temperatureAt(address, nowMs));
}

}  // namespace ktx::sim
