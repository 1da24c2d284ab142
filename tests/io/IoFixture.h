#pragma once
// A status-poll bench for tests: scripted driver on virtual time, a log sink
// that keeps every line, and the context the area's code takes.
#include <string>

#include "link/AppContext.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"

namespace ktx::io::test {

using ktx::test::RecordingSink;

struct IoBench {
    VirtualTimeSource time;
    ktx::test::ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};

    // The device answers the next poll with these two replies.
    void answer(const std::string& command, const std::string& deviceTest, const std::string& addTest)
    {
        driver.onCommand(command, {deviceTest});
        driver.onCommand("ADD_TEST$", {addTest});
    }
};

}  // namespace ktx::io::test
