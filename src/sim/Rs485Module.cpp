#include "sim/Rs485Module.h"

namespace ktx::sim {

Rs485Module::Rs485Module(const Scenario& scenario)
{
    (void)scenario;
}

bool Rs485Module::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void Rs485Module::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
