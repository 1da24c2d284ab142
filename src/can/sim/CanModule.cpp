#include "can/sim/CanModule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/SimRandom.h"

namespace ktx::sim {
namespace {

constexpr std::string_view kCanTest = "CANTEST;$";
constexpr int kFaultChannel = 0xCA0;
constexpr int kDataChannel = 0xCA1;
constexpr int kCanNoiseChannel = 0xCA2;
constexpr uint32_t kAll = 0xFFFFFFFF;

// Phases of the drive cycle, as shares of its length.
constexpr double kSpeedUp = 0.2;
constexpr double kCruise = 0.5;
constexpr double kBraking = 0.2;
constexpr double kClutchAtStart = 0.03;

// Undecoded groups first from a real truck's bus, then made-up ones.
constexpr uint32_t kUndecodedIds[] = {0x18FEF200, 0x18FEF500, 0x18FEF600, 0x0CFE6CEE, 0x18FEE6EE, 0x18FEAE30,
    0x18FD0900, 0x18FEE400};

uint32_t clampRaw(double value, uint32_t max)
{
    if (!(value > 0))
        return 0;
    const double rounded = std::round(value);
    return rounded >= max ? max : static_cast<uint32_t>(rounded);
}

uint32_t bytes(uint32_t b1, uint32_t b2, uint32_t b3, uint32_t b4)
{
    return (b1 & 0xFF) | (b2 & 0xFF) << 8 | (b3 & 0xFF) << 16 | (b4 & 0xFF) << 24;
}

uint32_t undecodedId(int index)
{
    if (index < static_cast<int>(std::size(kUndecodedIds)))
        return kUndecodedIds[index];
    // Then groups A000.. from source 0x27, none of them decoded.
    return 0x18000027u | (0xA000u + static_cast<uint32_t>(index)) << 8;
}

void appendHex(std::string& out, uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%x", value);
    out += text;
}

}  // namespace

CanModule::CanModule(const Scenario& scenario) : can_(scenario.can), seed_(scenario.seed) {}

bool CanModule::handles(std::string_view command) const
{
    return command == kCanTest;
}

VehicleState CanModule::vehicleAt(int64_t nowMs) const
{
    VehicleState v;
    const double t = static_cast<double>(std::max<int64_t>(nowMs, 0)) / 1000.0;
    const double cycle = can_.cycleS;
    const double top = can_.topSpeedKmh;
    const double speedUp = kSpeedUp * cycle;
    const double cruise = kCruise * cycle;
    const double braking = kBraking * cycle;
    // Metres driven in one cycle and in the part of this one.
    const double perCycle = top / 3.6 * (speedUp / 2 + cruise + braking / 2);
    const double cycles = std::floor(t / cycle);
    const double tau = t - cycles * cycle;
    double part = 0;
    if (tau < speedUp) {
        v.speedKmh = top * tau / speedUp;
        part = top / 3.6 * tau * tau / (2 * speedUp);
        v.pedalPct = 65;
        v.engineRpm = 900 + 900 * tau / speedUp;
        v.clutch = tau < kClutchAtStart * cycle;
    } else if (tau < speedUp + cruise) {
        v.speedKmh = top;
        part = top / 3.6 * (speedUp / 2 + (tau - speedUp));
        v.engineRpm = 1350;
        v.cruise = true;
    } else if (tau < speedUp + cruise + braking) {
        const double u = tau - speedUp - cruise;
        v.speedKmh = top * (1 - u / braking);
        part = top / 3.6 * (speedUp / 2 + cruise + u - u * u / (2 * braking));
        v.engineRpm = 1100 - 500 * u / braking;
        v.brake = true;
    } else {
        part = perCycle;
        v.engineRpm = 600;
    }
    const double driven = cycles * perCycle + part;
    v.distanceM = static_cast<double>(can_.startDistanceM) + driven;
    const double burnt = can_.litresPer100Km * driven / 100000 + can_.idleLitresPerHour * t / 3600;
    v.fuelUsedL = can_.startFuelUsedL + burnt;
    v.fuelLevelPct = std::max(0.0, can_.startFuelLevelPct - burnt / can_.tankLitres * 100);
    v.engineHours = can_.startEngineHours + t / 3600;
    return v;
}

std::array<CanFrame, 15> CanModule::framesAt(int64_t nowMs, uint64_t poll) const
{
    const VehicleState v = vehicleAt(nowMs);
    std::array<CanFrame, 15> slots{};
    size_t used = 0;
    auto add = [&](uint32_t id, uint32_t dataA, uint32_t dataB) {
        if (used < slots.size())
            slots[used++] = {id, dataA, dataB};
    };
    const int wobble = noiseAt(seed_, kCanNoiseChannel, nowMs, 1);

    const uint32_t states = (v.cruise ? 1u : 0u) | (v.brake ? 1u : 0u) << 4 | (v.clutch ? 1u : 0u) << 6;
    const uint32_t speed = clampRaw(v.speedKmh * 256, 0xFAFF);
    add(0x18FEF100, bytes(0x00, speed, speed >> 8, states), kAll);
    const uint32_t pedal = clampRaw(v.pedalPct / 0.4, 250);
    add(0x0CF00300, bytes(0xFF, pedal, pedal / 2, 0xFF), kAll);
    add(0x18FEE900, kAll, clampRaw(v.fuelUsedL / 0.5, 0xFAFFFFFF));
    const uint32_t level = clampRaw(v.fuelLevelPct / 0.4, 250);
    add(0x18FEFC17, bytes(0xFF, level, 0xFF, 0xFF), kAll);
    if (can_.fuelSensors > 1)
        add(0x18FEFC21, bytes(0xFF, clampRaw(level + 2.0 + wobble, 250), 0xFF, 0xFF), kAll);
    const uint32_t rpm = clampRaw(v.engineRpm / 0.125, 0xFAFF);
    add(0x0CF00400, bytes(0xF0, 125 + pedal / 4, 125 + pedal / 4, rpm), bytes(rpm >> 8, 0x00, 0xFF, 0xFF));
    if (!can_.axleKg.empty()) {
        // One wheel per reply, every wheel of every axle in turn.
        const size_t wheel = static_cast<size_t>(poll % (2 * can_.axleKg.size()));
        const uint32_t axle = static_cast<uint32_t>(wheel / 2 + 1);
        const uint32_t position = static_cast<uint32_t>(wheel % 2 + 1);
        const uint32_t weight = clampRaw(can_.axleKg[wheel / 2] / 2 * 2.0, 0xFFFE);
        add(0x18FEEA2F, bytes(axle << 4 | position, weight, weight >> 8, 0xFF), kAll);
    }
    if (can_.trailerKg > 0) {
        const uint32_t weight = clampRaw(can_.trailerKg * 2.0, 0xFFFE);
        add(0x18FEEAC8, bytes(0xFF, weight, weight >> 8, 0xFF), kAll);
    }
    add(0x18FEE500, clampRaw(v.engineHours / 0.05, 0xFAFFFFFF), kAll);
    add(0x18FEC1EE, clampRaw(v.distanceM / 5, 0xFAFFFFFF), kAll);
    const double serviceKm = can_.serviceKm - (v.distanceM - static_cast<double>(can_.startDistanceM)) / 1000;
    const uint32_t service = clampRaw((serviceKm + 160635) / 5, 0xFAFF);
    add(0x18FEC0EE, bytes(0x00, service, service >> 8, 0xFF), kAll);
    const uint32_t oil = clampRaw((can_.oilC + 273) * 32.0 + wobble * 16, 0xFAFF);
    const uint32_t coolant = clampRaw(can_.coolantC + 40.0, 250);  // the thermostat holds it
    add(0x18FEEE00, bytes(coolant, static_cast<uint32_t>(can_.fuelC + 40), oil, oil >> 8), kAll);
    for (int i = 0; i < can_.undecodedPerReply && can_.undecodedIds > 0; ++i) {
        const int index = static_cast<int>((poll * static_cast<uint64_t>(can_.undecodedPerReply) + static_cast<uint64_t>(i))
            % static_cast<uint64_t>(can_.undecodedIds));
        const uint64_t data = hashOf(seed_, static_cast<uint64_t>(kDataChannel + index), poll / 4);
        add(undecodedId(index), static_cast<uint32_t>(data), static_cast<uint32_t>(data >> 32));
    }
    return slots;
}

void CanModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    const uint64_t poll = polls_++;
    if (!can_.capture)
        return;
    const double roll = unitAt(seed_, kFaultChannel, poll);
    if (roll < can_.garbage) {
        // Bytes of a reply that went wrong on the way: no name, no structure.
        for (int i = 0; i < 40; ++i)
            out += static_cast<char>(0x21 + hashOf(seed_, kFaultChannel + 1, poll * 64 + static_cast<uint64_t>(i)) % 0x5E);
        return;
    }
    const bool fourteen = roll < can_.garbage + can_.fourteenLines;
    const auto slots = framesAt(nowMs, poll);
    out += "CANTEST=\r\n";
    const size_t lines = fourteen ? slots.size() - 1 : slots.size();
    for (size_t i = 0; i < lines; ++i) {
        appendHex(out, slots[i].id);
        out += '.';
        appendHex(out, slots[i].dataA);
        out += '.';
        appendHex(out, slots[i].dataB);
        out += "\r\n";
    }
}

}  // namespace ktx::sim
