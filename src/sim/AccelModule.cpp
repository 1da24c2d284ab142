#include "sim/AccelModule.h"

namespace ktx::sim {

AccelModule::AccelModule(const Scenario& scenario)
{
    (void)scenario;
}

bool AccelModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void AccelModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
