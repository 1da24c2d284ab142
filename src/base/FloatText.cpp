#include "base/FloatText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ktx::io {
namespace {

std::string nonFinite(long double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// printf's %.*Le and %.*Lf, but always with a point: the process locale
// does not reach into these texts.
std::string printed(long double value, std::chars_format format, int decimals)
{
    char text[128];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, format, decimals);
    return error == std::errc() ? std::string(text, end) : std::string();
}

// Decimal exponent of the value once rounded to `precision` digits.
int roundedExponent(long double value, int precision)
{
    const std::string text = printed(value, std::chars_format::scientific, precision - 1);
    const size_t e = text.find('e');
    int exponent = 0;
    if (e != std::string::npos) {
        const char* digits = text.data() + e + 1;
        if (*digits == '+')
            ++digits;
        std::from_chars(digits, text.data() + text.size(), exponent);
    }
    return exponent;
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
    if (exponent >= precision || exponent < -5) {
        const std::string text = printed(value, std::chars_format::scientific, precision - 1);
        std::string mantissa = text.substr(0, text.find('e'));
        stripTrailingZeros(mantissa);
        return withSeparator(mantissa, decimalPoint) + "E" + std::to_string(exponent);
    }
    const int decimals = precision - 1 - exponent;
    std::string fixed = printed(value, std::chars_format::fixed, decimals);
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
    std::string fixed = printed(value, std::chars_format::fixed, roundAt);
    if (roundAt < digits) {
        if (roundAt == 0)
            fixed += '.';
        fixed.append(static_cast<size_t>(digits - roundAt), '0');
    }
    dropNegativeZero(fixed);
    return withSeparator(fixed, decimalPoint);
}

}  // namespace ktx::io
