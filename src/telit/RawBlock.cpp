#include "telit/RawBlock.h"

#include <cstdio>

namespace ktx::telit {

void RawBlock::frame(uint8_t number, std::string_view payload, std::string& out)
{
    char header[kFullHeaderBytes + 1];
    const char* format = isFull(payload) ? "GSMRAW=%03d,%03d," : "GSMRAW=%03d,%d,";
    const int length = std::snprintf(header, sizeof header, format, int(number), int(payload.size()));
    out.assign(header, static_cast<size_t>(length));
    out.append(payload);
}

std::vector<std::string_view> RawBlock::split(std::string_view payload)
{
    std::vector<std::string_view> blocks;
    blocks.reserve(payload.size() / kFullPayload + 1);
    while (payload.size() >= kFullPayload) {
        blocks.push_back(payload.substr(0, kFullPayload));
        payload.remove_prefix(kFullPayload);
    }
    if (!payload.empty())
        blocks.push_back(payload);
    return blocks;
}

}  // namespace ktx::telit
