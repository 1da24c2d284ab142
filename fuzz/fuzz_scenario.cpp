// Scenario files on arbitrary bytes; a scenario that parses then drives one
// status exchange of the simulated tracker in virtual time.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ktx::sim::Scenario scenario;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ktx::sim::parseScenario(text, scenario, error))
        return 0;

    ktx::VirtualTimeSource time;
    ktx::sim::SimDriver driver(time, scenario);
    ktx::UsbLink link(driver, time);
    if (!link.OpenLink(true))
        return 0;
    ktx::ReplyBuffer<128> buffer;
    for (const char* command : {"FL_READ_VERSION$", "DEVICE_TEST,1,0$", "ADD_TEST$"}) {
        buffer.clear();
        link.SendCommand(command);
        link.AwaitReply(buffer.data(), buffer.capacity(), 100);
    }
    link.CloseLink();
    return 0;
}
