#include "can/CanDecoder.h"

#include <cstdio>

#include "can/FixedText.h"

namespace ktx::can {
namespace {

constexpr uint32_t kByteNotAvailable = 0xFF;
constexpr uint32_t kWordNotAvailable = 0xFFFF;
constexpr uint32_t kLongNotAvailable = 0xFFFFFFFF;
constexpr int kTemperatureOffset = 40;
constexpr int64_t kServiceOffsetKm = 160635;
constexpr uint32_t kOilZeroRaw = 273 * 32;  // 0 °C at 0.03125 °C per bit
constexpr uint32_t kAxleOrPositionUnknown = 15;

// Bytes numbered from 1 as in J1939.
uint32_t byteOf(const CanSlot& slot, int number)
{
    const uint32_t word = number <= 4 ? slot.dataA : slot.dataB;
    return (word >> (8 * ((number - 1) % 4))) & 0xFF;
}

// Little-endian pair of bytes starting at `first`.
uint32_t wordOf(const CanSlot& slot, int first)
{
    return byteOf(slot, first) | (byteOf(slot, first + 1) << 8);
}

std::string decimal(int64_t value) { return std::to_string(value); }

struct Decoding {
    const CanSlot& slot;
    CanGrids& grids;
    CanView& view;
    std::string_view point;
};

void setId(Decoding& d, IdBox box) { d.view.idBoxes[box] = hexText(d.slot.id); }

// A two-bit J1939 state: 1 on, 0 or 2 off, 3 not available.
void setSwitch(Decoding& d, Switch which, uint32_t state)
{
    if (state == 1)
        d.view.switches[which] = true;
    else if (state != 3)
        d.view.switches[which] = false;
}

// The row of the slot's identifier in a keyed grid, added when new.
RowWrite& rowFor(Decoding& d, KeyedRows& keys, std::vector<RowWrite>& writes)
{
    const std::string key = hexText(d.slot.id);
    RowWrite write;
    write.row = keys.find(key);
    if (write.row < 0) {
        write.row = keys.append(key);
        write.added = true;
        write.cells[0] = key;
    }
    writes.push_back(std::move(write));
    return writes.back();
}

void vehicleSpeed(Decoding& d)
{
    setId(d, kIdSpeed);
    const uint32_t raw = wordOf(d.slot, 2);
    d.view.panels[kSpeed] = raw == kWordNotAvailable ? std::string("-") : decimal(raw >> 8);
    if (raw != kWordNotAvailable)
        d.view.speedKmh = raw / 256.0;  // 1/256 km/h
    const uint32_t states = byteOf(d.slot, 4);
    setSwitch(d, kCruise, states & 3);
    setSwitch(d, kBrake, (states >> 4) & 3);
    setSwitch(d, kClutch, (states >> 6) & 3);
}

void acceleratorPedal(Decoding& d)
{
    setId(d, kIdPedal);
    const uint32_t raw = byteOf(d.slot, 2);
    if (raw != kByteNotAvailable)
        d.view.panels[kPedal] = fixedDecimal(uint64_t{raw} * 4, 1, 3, 1, d.point);  // 0.4 %
}

void fuelConsumption(Decoding& d)
{
    setId(d, kIdFuelUsed);
    const uint32_t raw = d.slot.dataB;
    if (raw != kLongNotAvailable)
        d.view.panels[kFuelUsed] = fixedDecimal(uint64_t{raw} * 5, 1, 15, 1, d.point);  // 0.5 l
}

void dashDisplay(Decoding& d)
{
    const uint32_t raw = byteOf(d.slot, 2);
    RowWrite& row = rowFor(d, d.grids.fuelGrid, d.view.fuelRows);
    row.cells[1] = raw == kByteNotAvailable ? std::string("no level") : fixedDecimal(uint64_t{raw} * 4, 1, 3, 1, d.point);
    row.cells[2] = decimal(raw);
}

void engineSpeed(Decoding& d)
{
    setId(d, kIdEngineSpeed);
    const uint32_t raw = wordOf(d.slot, 4);
    if (raw != kWordNotAvailable) {
        d.view.panels[kEngineSpeed] = fixedDecimal(uint64_t{raw} * 125, 3, 5, 3, d.point);  // 0.125 rpm
        d.view.engineRpm = raw * 0.125;
    }
}

void vehicleWeight(Decoding& d)
{
    rowFor(d, d.grids.axisGrid, d.view.axisRows);
    const uint32_t location = byteOf(d.slot, 1);
    const uint32_t position = location & 0x0F;
    const uint32_t axle = location >> 4;
    const uint32_t raw = wordOf(d.slot, 2);
    std::string text = decimal(raw >> 1);
    if (axle == kAxleOrPositionUnknown || position == kAxleOrPositionUnknown || raw == kWordNotAvailable)
        d.view.labelDefault = std::move(text);
    else
        d.view.weightCells.push_back({static_cast<int>(axle), static_cast<int>(position), std::move(text)});
}

void engineHours(Decoding& d)
{
    setId(d, kIdEngineHours);
    const uint32_t raw = d.slot.dataA;
    if (raw != kLongNotAvailable)
        d.view.panels[kEngineHours] = fixedDecimal(uint64_t{raw} * 5, 2, 15, 2, d.point);  // 0.05 h
}

void vehicleDistance(Decoding& d)
{
    setId(d, kIdDistance);
    const uint32_t raw = d.slot.dataA;
    // 5 m per bit: up to 21 474 836 370 m, more than 32 bits hold.
    if (raw != kLongNotAvailable)
        d.view.panels[kDistance] = decimal(int64_t{raw} * 5);
}

void serviceInformation(Decoding& d)
{
    setId(d, kIdServiceDistance);
    const uint32_t raw = wordOf(d.slot, 2);
    if (raw != kWordNotAvailable)
        d.view.panels[kServiceDistance] = decimal(int64_t{raw} * 5 - kServiceOffsetKm);
}

void engineTemperature(Decoding& d)
{
    const uint32_t coolant = byteOf(d.slot, 1);
    if (coolant != kByteNotAvailable) {
        setId(d, kIdTemperatures);
        d.view.panels[kCoolant] = decimal(int64_t{coolant} - kTemperatureOffset);
    }
    const uint32_t fuel = byteOf(d.slot, 2);
    if (fuel != kByteNotAvailable)
        d.view.panels[kFuelTemperature] = decimal(int64_t{fuel} - kTemperatureOffset);
    const uint32_t oil = wordOf(d.slot, 3);
    // Integer division truncates toward zero: -0.25 °C shows 0.
    if (oil != kWordNotAvailable)
        d.view.panels[kOilTemperature] = decimal((int64_t{oil} - kOilZeroRaw) / 32);
}

struct Group {
    uint32_t pgn;
    int lamp;  // CanShape1 .. CanShape10 as 0 .. 9
    void (*decode)(Decoding&);
};

constexpr Group kGroups[] = {
    {0xFEF1, 0, vehicleSpeed},        // Cruise Control/Vehicle Speed
    {0xF003, 1, acceleratorPedal},    // Electronic Engine Controller 2
    {0xFEE9, 2, fuelConsumption},     // Fuel Consumption
    {0xFEFC, 3, dashDisplay},         // Dash Display
    {0xF004, 4, engineSpeed},         // Electronic Engine Controller 1
    {0xFEEA, 5, vehicleWeight},       // Vehicle Weight
    {0xFEE5, 6, engineHours},         // Engine Hours, Revolutions
    {0xFEC1, 7, vehicleDistance},     // High Resolution Vehicle Distance
    {0xFEC0, 8, serviceInformation},  // Service Information
    {0xFEEE, 9, engineTemperature},   // Engine Temperature 1
};

const Group* groupOf(uint32_t pgn)
{
    for (const Group& group : kGroups)
        if (group.pgn == pgn)
            return &group;
    return nullptr;
}

void undecodedFrame(Decoding& d)
{
    RowWrite& row = rowFor(d, d.grids.canGrid, d.view.canRows);
    row.cells[1] = hexText(d.slot.dataA);
    row.cells[2] = hexText(d.slot.dataB);
}

}  // namespace

std::string hexText(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

int decodeSlot(const CanSlot& slot, CanGrids& grids, CanView& view, std::string_view decimalPoint)
{
    const uint32_t pgn = pgnOf(slot.id);
    if (pgn == 0)
        return -1;
    Decoding d{slot, grids, view, decimalPoint};
    const Group* group = groupOf(pgn);
    if (!group) {
        undecodedFrame(d);
        return -1;
    }
    group->decode(d);
    view.lampsPresent[static_cast<size_t>(group->lamp)] = true;
    return group->lamp;
}

CanView decodeFrames(const CanFrames& frames, CanGrids& grids, std::string_view decimalPoint)
{
    CanView view;
    for (const CanSlot& slot : frames)
        decodeSlot(slot, grids, view, decimalPoint);
    return view;
}

}  // namespace ktx::can
