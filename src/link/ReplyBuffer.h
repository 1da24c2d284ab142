#pragma once
// A reply buffer of N readable bytes with one more zero byte behind them, so
// that whatever a read leaves is always a terminated string.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ktx {

template <size_t N>
struct ReplyBuffer {
    std::array<char, N + 1> bytes{};

    void clear() { bytes.fill(0); }
    char* data() { return bytes.data(); }
    const char* c_str() const { return bytes.data(); }
    static constexpr uint32_t capacity() { return static_cast<uint32_t>(N); }
    std::string_view view(uint32_t count) const { return {bytes.data(), count < N ? count : N}; }
};

}  // namespace ktx
