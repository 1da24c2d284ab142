#include "sim/GnssModule.h"

namespace ktx::sim {

GnssModule::GnssModule(const Scenario& scenario)
{
    (void)scenario;
}

bool GnssModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void GnssModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
