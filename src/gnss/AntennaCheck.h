#pragma once
// The antenna supply reading of the ADD_TEST status record and its verdict.
#include <cstdint>
#include <optional>

namespace ktx::gnss {

enum class AntennaState { Normal, Break, ModuleOff, Short };

// Normal from 960 to 980 inclusive. The reading is judged as unsigned, so a
// negative one counts as a very large one (a break).
AntennaState antennaState(int32_t reading);

struct AntennaLook {
    bool breakPicture;    // Image8
    bool shortPicture;    // Image9
    const char* verdict;  // Label139, UTF-8
};
AntennaLook antennaLook(AntennaState state);

// The third integer of an "ADD_TEST=" reply, when at least ten convert.
std::optional<int32_t> scanAntennaReading(const char* reply);

}  // namespace ktx::gnss
