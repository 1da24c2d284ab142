// The settings file parser on arbitrary bytes, and the write round trip: a
// key we set reads back, and the written form parses to the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/ProfileFile.h"
#include "app/Settings.h"

namespace {

std::string expectedValue(std::string_view value)
{
    std::string clean;
    for (char c : value)
        if (c != '\r' && c != '\n' && c != '\0')
            clean.push_back(c);
    const size_t first = clean.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return clean.substr(first, clean.find_last_not_of(" \t") - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > ktx::ProfileFile::kMaxFileBytes)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte tells how much of the tail is the value to set.
    const size_t valueLength = size == 0 ? 0 : data[0] % 64;
    const std::string_view value = input.substr(size - (valueLength < size ? valueLength : size));

    ktx::ProfileFile file = ktx::ProfileFile::parse(input);
    for (const char* key : {"AutoStart", "PIN", "ReadGSMAuto", "LLSAddr1"})
        if (const auto text = file.get("GSM", key))
            ktx::profileInt(*text, 1);

    file.set("GSM", "PIN", value);
    file.set("485", "LLSAddr8", "8");
    const std::string bytes = file.serialize();
    const ktx::ProfileFile again = ktx::ProfileFile::parse(bytes);
    if (again.get("gsm", "pin") != expectedValue(value) || again.get("485", "llsaddr8") != "8")
        std::abort();
    if (again.serialize() != bytes)
        std::abort();
    return 0;
}
