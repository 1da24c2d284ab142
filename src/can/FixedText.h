#pragma once
// Decimal texts of the decoded CAN values. The values are whole multiples of
// a decimal step (0.4 %, 0.125 rpm, 0.05 h), so they are formatted from exact
// integers and never meet a binary rounding error.
#include <cstdint>
#include <string>
#include <string_view>

namespace ktx::can {

// units / 10^scale rounded to `precision` significant digits (and to
// `decimals` places, whichever comes first), written with exactly `decimals`
// places after decimalPoint. An exact half rounds up (away from zero):
// 1000.25 with five digits is 1000.3.
std::string fixedDecimal(uint64_t units, int scale, int precision, int decimals, std::string_view decimalPoint);

}  // namespace ktx::can
