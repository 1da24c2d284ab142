#pragma once
// The fuel level sensor poll: "LLSTEST=" with the eight addresses as typed,
// sixteen integers back (level and temperature per slot), one 485stream
// line per complete reply; and the hidden "add 8 to every address" step.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/AppContext.h"

namespace ktx::rs485 {

constexpr int kFuelSlots = 8;
constexpr int kLevelBarMaximum = 4095;

using FuelAddresses = std::array<std::string, kFuelSlots>;  // Windows-1251, as typed

struct FuelReading {
    int32_t level = 0;
    int32_t temperature = 0;
};
using FuelReadings = std::array<FuelReading, kFuelSlots>;

// "LLSTEST=%s,%s,%s,%s,%s,%s,%s,%s;$"
std::string fuelCommand(const FuelAddresses& addresses);

// "LLSTEST=%d,%d:%d,%d:...": all sixteen integers or nothing. Blanks before
// a number are skipped; a number beyond 32 bits is held at the nearest end.
std::optional<FuelReadings> parseFuelReply(const char* reply);

// The 485stream fields: "addr(level)" for each slot, tab-separated, CR LF.
std::string fuelLogFields(const FuelAddresses& addresses, const FuelReadings& readings);

// Where a level sits on its 0..4095 bar.
int levelBarPosition(int32_t level);

// What a live plot shows of a poll: the eight levels, or NaN everywhere
// when the reply did not parse.
std::array<double, kFuelSlots> plottedLevels(const std::optional<FuelReadings>& readings);

struct FuelOutcome {
    bool opened = false;  // false: "Устройство не подключено" written, the test must stop
    std::optional<FuelReadings> readings;
};

FuelOutcome pollFuelSensors(AppContext& context, const FuelAddresses& addresses);

// An address as a whole decimal number plus 8, or nothing when the text is
// not a whole number (blanks around it allowed).
std::optional<std::string> advancedAddress(std::string_view text);

}  // namespace ktx::rs485
