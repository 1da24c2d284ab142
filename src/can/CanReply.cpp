#include "can/CanReply.h"

#include <limits>

#include "base/HexDigit.h"

namespace ktx::can {
namespace {

constexpr std::string_view kReplyName = "CANTEST=";

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A cursor over the reply that never reads past its end.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void skipSpace()
    {
        while (pos_ < text_.size() && isSpace(text_[pos_]))
            ++pos_;
    }

    bool literal(char c)
    {
        if (pos_ >= text_.size() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // %x: leading white space, an optional sign, an optional 0x before a
    // digit, then at least one hexadecimal digit. Values beyond 64 bits
    // saturate as strtoul does before the unsigned int keeps the low bits.
    bool hex(uint32_t& out)
    {
        skipSpace();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-'))
            negative = text_[pos_++] == '-';
        if (pos_ + 2 < text_.size() && text_[pos_] == '0' && (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')
            && hexDigit(text_[pos_ + 2]) >= 0)
            pos_ += 2;
        uint64_t value = 0;
        bool saturated = false;
        size_t digits = 0;
        for (; pos_ < text_.size(); ++pos_, ++digits) {
            const int digit = hexDigit(text_[pos_]);
            if (digit < 0)
                break;
            if (value > (std::numeric_limits<uint64_t>::max() >> 4))
                saturated = true;
            value = (value << 4) | static_cast<uint64_t>(digit);
        }
        if (digits == 0)
            return false;
        if (saturated)
            value = std::numeric_limits<uint64_t>::max();
        else if (negative)
            value = 0 - value;
        out = static_cast<uint32_t>(value);
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

std::optional<CanFrames> parseCanReply(std::string_view reply)
{
    if (const size_t end = reply.find('\0'); end != std::string_view::npos)
        reply = reply.substr(0, end);
    if (!reply.starts_with(kReplyName))
        return std::nullopt;
    Scanner scan(reply.substr(kReplyName.size()));
    CanFrames frames;
    for (CanSlot& slot : frames) {
        scan.skipSpace();
        if (!scan.hex(slot.id) || !scan.literal('.') || !scan.hex(slot.dataA) || !scan.literal('.')
            || !scan.hex(slot.dataB))
            return std::nullopt;
    }
    return frames;
}

}  // namespace ktx::can
