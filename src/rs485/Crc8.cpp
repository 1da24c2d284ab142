#include "rs485/Crc8.h"

#include <array>

namespace ktx::rs485 {
namespace {

constexpr uint8_t kReflectedPolynomial = 0x8C;

constexpr std::array<uint8_t, 256> makeTable()
{
    std::array<uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        table[i] = static_cast<uint8_t>(crc);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kTable = makeTable();

}  // namespace

uint8_t crc8(std::span<const uint8_t> bytes)
{
    uint8_t crc = 0;
    for (const uint8_t byte : bytes)
        crc = kTable[crc ^ byte];
    return crc;
}

}  // namespace ktx::rs485
