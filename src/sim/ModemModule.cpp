#include "sim/ModemModule.h"

namespace ktx::sim {

ModemModule::ModemModule(const Scenario& scenario)
{
    (void)scenario;
}

bool ModemModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void ModemModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
