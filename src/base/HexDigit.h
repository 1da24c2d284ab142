#pragma once
// The value of one hexadecimal digit of either case, -1 for anything else:
// device replies, scenario texts and settings all spell bytes this way.
namespace ktx {

constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace ktx
