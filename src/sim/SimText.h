#pragma once
// Reply building and command parsing helpers for the simulated firmware:
// no allocation beyond the reply string's own growth.
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace ktx::sim {

inline void appendInt(std::string& out, int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// Reads an optionally signed decimal integer at the front of text and drops
// it from text. False when text does not start with one.
inline bool takeInt(std::string_view& text, int64_t& value)
{
    size_t skip = (!text.empty() && text.front() == '+') ? 1 : 0;
    const char* first = text.data() + skip;
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc())
        return false;
    text.remove_prefix(static_cast<size_t>(result.ptr - text.data()));
    return true;
}

inline bool takeChar(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace ktx::sim
