#pragma once
// A file's bytes, exactly as written (the logs and settings are binary CRLF).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ktx::test {

inline std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace ktx::test
