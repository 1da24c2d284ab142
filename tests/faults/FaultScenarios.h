#pragma once
// What the fault tables play on the simulated tracker, shared by the
// window's table and the line check's.
#include "sim/Scenario.h"

namespace ktx::test {

// Every reply spoilt the one way the share names.
inline sim::Faults every(double sim::Faults::*share)
{
    sim::Faults faults;
    faults.*share = 1;
    return faults;
}

// The tracker as it comes back from a restart: flashed with newer firmware
// meanwhile, and with a new USB chip's serial when that restarted too.
inline sim::Scenario rebooted()
{
    sim::Scenario identity = sim::defaultScenario();
    identity.version = "SUMI-5.8ab";
    identity.serial = "7654321";
    return identity;
}

}  // namespace ktx::test
