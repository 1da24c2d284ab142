#include "base/WriteFailure.h"

#include <algorithm>
#include <cstring>

namespace ktx::fileio {

WriteResult failure(const std::string& what, const std::string& path, int errorNumber)
{
    WriteResult result;
    result.ok = false;
    result.errorNumber = errorNumber;
    result.path = path;
    result.error = what + " " + path;
    if (errorNumber != 0)
        result.error += ": " + std::string(std::strerror(errorNumber));
    return result;
}

WriteResult notRegular(const std::string& path)
{
    return failure("not a regular file:", path, 0);
}

std::optional<uint64_t> temporaryWriter(std::string_view name)
{
    const size_t tag = name.rfind(".tmp-");
    if (tag == std::string_view::npos || tag == 0)
        return std::nullopt;
    const std::string_view rest = name.substr(tag + 5);
    const size_t dash = rest.find('-');
    auto digits = [](std::string_view text) {
        return !text.empty() && text.size() <= 10
            && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
        return std::nullopt;
    const uint64_t id = std::stoull(std::string(rest.substr(0, dash)));
    return id > 0 ? std::optional<uint64_t>(id) : std::nullopt;
}

}  // namespace ktx::fileio
