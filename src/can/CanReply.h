#pragma once
// The device's CAN capture: "CANTEST;$" is answered by "CANTEST=" and fifteen
// frame lines "%x.%x.%x" (identifier, data bytes 1-4, data bytes 5-8).
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ktx::can {

inline constexpr const char* kCanCommand = "CANTEST;$";
inline constexpr int kSlotCount = 15;

struct CanSlot {
    uint32_t id = 0;     // 29-bit extended identifier; 0 marks an empty slot
    uint32_t dataA = 0;  // bytes 1..4, byte 1 in bits 0..7
    uint32_t dataB = 0;  // bytes 5..8, byte 5 in bits 0..7
};

using CanFrames = std::array<CanSlot, kSlotCount>;

// Reads the reply as sscanf would with "CANTEST=\r\n%x.%x.%x\r\n..." (fifteen
// lines): the name at the first byte, any run of white space (or none) for
// each line break, each number unsigned hexadecimal in either letter case with
// scanf's optional sign and 0x prefix, wrapping as an unsigned int does. The
// text ends at its first zero byte. Empty unless all 45 numbers are read;
// whatever follows the fifteenth line is ignored.
std::optional<CanFrames> parseCanReply(std::string_view reply);

// The parameter group number the decoder goes by: bits 8..23 of the identifier.
constexpr uint32_t pgnOf(uint32_t id) { return (id >> 8) & 0xFFFF; }

}  // namespace ktx::can
