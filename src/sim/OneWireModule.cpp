#include "sim/OneWireModule.h"

namespace ktx::sim {

OneWireModule::OneWireModule(const Scenario& scenario)
{
    (void)scenario;
}

bool OneWireModule::handles(std::string_view command) const
{
    (void)command;
    return false;
}

void OneWireModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    (void)nowMs;
    (void)out;
}

}  // namespace ktx::sim
