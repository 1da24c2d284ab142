#include "sim/VersionModule.h"

#include <cstdint>

namespace ktx::sim {

namespace {
constexpr std::string_view kCommand = "FL_READ_VERSION$";
}

VersionModule::VersionModule(std::string version, int shortReplies)
    : version_(std::move(version)), shortReplies_(shortReplies)
{
}

bool VersionModule::handles(std::string_view command) const
{
    return command == kCommand;
}

void VersionModule::reply(std::string_view, int64_t, std::string& out)
{
    const bool cut = shortReplies_ < 0 || repliesSent_ < shortReplies_;
    if (repliesSent_ < INT32_MAX)
        ++repliesSent_;
    std::string_view text = version_;
    if (cut && !text.empty())
        text.remove_suffix(1);
    out.append(text);
}

}  // namespace ktx::sim
