#include "base/SafeFileName.h"

#include "base/TextCodec.h"

namespace ktx {
namespace {

bool isForbidden(unsigned char c)
{
    if (c < 0x20 || c == 0x7F)
        return true;
    switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return false;
    }
}

}  // namespace

std::string safeFileComponent(std::string_view text)
{
    std::string name;
    const size_t length = text.size() < kMaxFileComponent ? text.size() : kMaxFileComponent;
    name.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool badDot = c == '.' && (i == 0 || text[i - 1] == '.');
        name.push_back(isForbidden(c) || badDot ? '_' : static_cast<char>(c));
    }
    return name.empty() ? std::string("unknown") : name;
}

std::string serialFileComponent(std::string_view serialCp1251)
{
    // Cut and cleaned while one byte is one character.
    return utf8FromCp1251(safeFileComponent(serialCp1251));
}

}  // namespace ktx
