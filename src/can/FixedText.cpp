#include "can/FixedText.h"

#include <algorithm>

namespace ktx::can {
namespace {

constexpr int kMaxPower = 19;  // 10^19 is the largest power of ten in 64 bits

uint64_t powerOfTen(int n)
{
    uint64_t value = 1;
    for (int i = 0; i < n; ++i)
        value *= 10;
    return value;
}

int digitCount(uint64_t value)
{
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

}  // namespace

std::string fixedDecimal(uint64_t units, int scale, int precision, int decimals, std::string_view decimalPoint)
{
    scale = std::clamp(scale, 0, kMaxPower);
    precision = std::clamp(precision, 1, kMaxPower);
    decimals = std::clamp(decimals, 0, kMaxPower);
    // Exponent of the leading digit, as in d.ddd × 10^exponent.
    const int exponent = units == 0 ? 0 : digitCount(units) - 1 - scale;
    // Places kept after the point; negative when digits left of it go too.
    const int keep = std::min(decimals, precision - 1 - exponent);
    uint64_t kept = units;
    int keptScale = scale;
    if (keep < scale) {
        const int drop = scale - keep;
        if (drop > kMaxPower) {
            kept = 0;
        } else {
            const uint64_t step = powerOfTen(drop);
            const uint64_t rest = units % step;
            kept = units / step + (rest >= step - rest ? 1 : 0);
        }
        keptScale = keep;
    }
    // kept / 10^keptScale; a negative scale multiplies back to whole units.
    std::string digits;
    if (keptScale < 0) {
        digits = std::to_string(kept) + std::string(static_cast<size_t>(-keptScale), '0');
        keptScale = 0;
    } else {
        digits = std::to_string(kept);
    }
    if (digits.size() <= static_cast<size_t>(keptScale))
        digits.insert(0, static_cast<size_t>(keptScale) + 1 - digits.size(), '0');
    std::string text = digits.substr(0, digits.size() - static_cast<size_t>(keptScale));
    if (decimals > 0) {
        text += decimalPoint;
        text += digits.substr(digits.size() - static_cast<size_t>(keptScale));
        text.append(static_cast<size_t>(decimals - keptScale), '0');
    }
    return text;
}

}  // namespace ktx::can
