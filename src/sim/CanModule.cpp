#include "sim/CanModule.h"

namespace ktx::sim {

CanModule::CanModule(const Scenario& scenario)
{
    (void)scenario;
}

bool CanModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void CanModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
