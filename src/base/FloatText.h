#pragma once
// Number texts as the console has always shown them (the Delphi float
// formats), with the user's decimal separator passed in so that the core
// stays free of any UI library.
#include <string>
#include <string_view>

namespace ktx::io {

// Shortest text of at most `precision` significant digits: fixed notation,
// or d.dddEx when the exponent is too large or the value below 0.00001.
// Precision 15 is FloatToStr.
std::string generalText(long double value, int precision, std::string_view decimalPoint);

// Fixed notation rounded to `precision` significant digits and to `digits`
// decimals, whichever comes first, always showing `digits` decimals; values
// with more integer digits than the precision fall back to generalText.
std::string fixedText(long double value, int precision, int digits, std::string_view decimalPoint);

}  // namespace ktx::io
