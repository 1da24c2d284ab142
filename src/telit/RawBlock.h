#pragma once
// The device command that carries a piece of a record's payload to the modem:
// a text header with the block number and the byte count, then the bytes as
// they are (any values, zero included). A record goes as full blocks of 580
// bytes and, for what is left, one short block.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ktx::telit {

class RawBlock {
public:
    static constexpr size_t kFullPayload = 580;
    static constexpr size_t kFullHeaderBytes = 15;  // "GSMRAW=%03d,%03d,"
    static constexpr size_t kFullBytes = kFullHeaderBytes + kFullPayload;

    // "GSMRAW=%03d,%03d," with 580 for a full block, "GSMRAW=%03d,%d," (the
    // count not padded) for a short one; then the payload.
    static void frame(uint8_t number, std::string_view payload, std::string& out);
    static bool isFull(std::string_view payload) { return payload.size() == kFullPayload; }
    // The payload's blocks in order: k full blocks, then the rest if any.
    static std::vector<std::string_view> split(std::string_view payload);
};

}  // namespace ktx::telit
