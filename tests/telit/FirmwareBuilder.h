#pragma once
// Firmware files for tests and benchmarks: a header and records built from
// payloads, with payload bytes that a text path would spoil ('$', ';', zero).
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace ktx::telit::test {

// size bytes cycling through every byte value, starting at seed.
inline std::string payloadOf(size_t size, uint8_t seed = 0)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(static_cast<uint8_t>(seed + i * 7));
    return bytes;
}

// An erase record's payload: one of the two erase codes, then filler.
inline std::string erasePayload(size_t size, bool secondCode = false)
{
    std::string bytes = secondCode ? std::string("\x1D\x8D\xC0\xFF", 4) : std::string("\xA9\x6A\xC8\x41", 4);
    bytes += payloadOf(size > 4 ? size - 4 : 0, 0x24);
    return bytes;
}

inline void appendLittleEndian(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

struct FirmwareBuilder {
    std::string bytes;
    std::vector<std::string> payloads;

    explicit FirmwareBuilder(std::string_view firmwareName = "LE910C1 25.30.226", std::string_view target = "LE910C1-EU",
                             uint16_t headerLength = 66)
    {
        appendLittleEndian(bytes, headerLength);
        appendName(firmwareName);
        appendName(target);
        if (headerLength > 66)
            bytes += payloadOf(headerLength - 66u, 0x5A);
    }

    FirmwareBuilder& record(std::string payload)
    {
        appendLittleEndian(bytes, static_cast<uint16_t>(payload.size() - 1));
        bytes += payload;
        payloads.push_back(std::move(payload));
        return *this;
    }

    std::string allPayloads() const
    {
        std::string all;
        for (const auto& p : payloads)
            all += p;
        return all;
    }

    void writeTo(const std::filesystem::path& path) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    void appendName(std::string_view name)
    {
        std::string field(name.substr(0, 32));
        field.resize(32, '\0');
        bytes += field;
    }
};

}  // namespace ktx::telit::test
