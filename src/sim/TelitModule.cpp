#include "sim/TelitModule.h"

namespace ktx::sim {

TelitModule::TelitModule(const Scenario& scenario)
{
    (void)scenario;
}

bool TelitModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void TelitModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
