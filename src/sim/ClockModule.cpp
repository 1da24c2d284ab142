#include "sim/ClockModule.h"

namespace ktx::sim {

ClockModule::ClockModule(const Scenario& scenario)
{
    (void)scenario;
}

bool ClockModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void ClockModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
