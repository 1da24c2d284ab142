#pragma once
// CRC-8 of Dallas/Maxim (the 1-Wire CRC): x^8 + x^5 + x^4 + 1, least
// significant bit first, initial value 0, no final inversion; one table
// look-up per byte.
#include <cstddef>
#include <cstdint>
#include <span>

namespace ktx::rs485 {

uint8_t crc8(std::span<const uint8_t> bytes);

}  // namespace ktx::rs485
