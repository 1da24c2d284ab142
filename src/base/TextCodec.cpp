#include "base/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace ktx {
namespace {

// Converts with iconv; an input sequence the target cannot hold, or a broken
// one, is replaced by '?' and skipped by one byte.
std::string convert(const char* to, const char* from, std::string_view input)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    std::string output;
    output.resize(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(out - output.data());
            output.resize(output.size() * 2);
            out = output.data() + used;
            outLeft = output.size() - used;
            continue;
        }
        // EILSEQ or EINVAL: one unconvertible byte (or a truncated sequence).
        if (outLeft == 0) {
            const size_t used = static_cast<size_t>(out - output.data());
            output.resize(output.size() * 2);
            out = output.data() + used;
            outLeft = output.size() - used;
        }
        if (std::string_view(from) == "UTF-8") {
            // Skip the whole UTF-8 sequence so one character gives one '?'.
            ++in;
            --inLeft;
            while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
                ++in;
                --inLeft;
            }
        } else {
            ++in;
            --inLeft;
        }
        *out++ = '?';
        --outLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    output.resize(static_cast<size_t>(out - output.data()));
    return output;
}

}  // namespace

std::string cp1251FromUtf8(std::string_view utf8)
{
    return convert("CP1251", "UTF-8", utf8);
}

std::string utf8FromCp1251(std::string_view cp1251)
{
    return convert("UTF-8", "CP1251", cp1251);
}

}  // namespace ktx
