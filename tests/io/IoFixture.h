#pragma once
// A status-poll bench for tests: scripted driver on virtual time, a log sink
// that keeps every line, and the context the area's code takes.
#include <string>
#include <vector>

#include "base/AppContext.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "support/ScriptedDriver.h"

namespace ktx::io::test {

struct StreamLine {
    std::string directory, stem, fields;
};

class RecordingSink : public LogSink {
public:
    int debugLevel() const override { return 2; }
    void debugLine(std::string_view text) override { debug.emplace_back(text); }
    void modemLine(std::string_view) override {}
    void rs485Line(std::string_view) override {}
    void telitLine(std::string_view) override {}
    void streamLine(std::string_view directory, std::string_view stem, std::string_view fields) override
    {
        streams.push_back({std::string(directory), std::string(stem), std::string(fields)});
    }

    std::vector<std::string> debug;
    std::vector<StreamLine> streams;
};

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
