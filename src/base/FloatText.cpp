#include "base/FloatText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ktx::io {
namespace {

std::string nonFinite(long double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// Decimal exponent of the value once rounded to `precision` digits.
int roundedExponent(long double value, int precision)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*Le", precision - 1, value);
    const char* e = std::strchr(text, 'e');
    return e ? std::atoi(e + 1) : 0;
}

std::string withSeparator(std::string text, std::string_view decimalPoint)
{
    const auto dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, decimalPoint);
    return text;
}

void stripTrailingZeros(std::string& text)
{
    if (text.find('.') == std::string::npos)
        return;
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
}

// A value that rounded to zero shows no sign.
void dropNegativeZero(std::string& text)
{
    if (text.empty() || text[0] != '-')
        return;
    if (text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
}

}  // namespace

std::string generalText(long double value, int precision, std::string_view decimalPoint)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    precision = std::clamp(precision, 1, 18);
    if (value == 0)
        return "0";
    const int exponent = roundedExponent(value, precision);
    char text[96];
    if (exponent >= precision || exponent < -5) {
        std::snprintf(text, sizeof text, "%.*Le", precision - 1, value);
        std::string mantissa(text, std::strchr(text, 'e'));
        stripTrailingZeros(mantissa);
        return withSeparator(mantissa, decimalPoint) + "E" + std::to_string(exponent);
    }
    const int decimals = precision - 1 - exponent;
    std::snprintf(text, sizeof text, "%.*Lf", decimals, value);
    std::string fixed(text);
    stripTrailingZeros(fixed);
    dropNegativeZero(fixed);
    return withSeparator(fixed, decimalPoint);
}

std::string fixedText(long double value, int precision, int digits, std::string_view decimalPoint)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    precision = std::clamp(precision, 1, 18);
    digits = std::clamp(digits, 0, 18);
    const int exponent = value == 0 ? 0 : roundedExponent(value, precision);
    if (exponent + 1 > precision)
        return generalText(value, precision, decimalPoint);
    // Round once, at whichever comes first: the last significant digit or the
    // last decimal; then pad to the decimals asked for.
    const int roundAt = std::min(digits, precision - 1 - exponent);
    char text[96];
    std::snprintf(text, sizeof text, "%.*Lf", roundAt, value);
    std::string fixed(text);
    if (roundAt < digits) {
        if (roundAt == 0)
            fixed += '.';
        fixed.append(static_cast<size_t>(digits - roundAt), '0');
    }
    dropNegativeZero(fixed);
    return withSeparator(fixed, decimalPoint);
}

}  // namespace ktx::io
