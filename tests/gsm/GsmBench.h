#pragma once
// A modem-test bench: scripted driver on virtual time, a sink that keeps the
// console lines, and a view that records the shapes and the stopped poll.
#include <map>
#include <string>
#include <vector>

#include "link/AppContext.h"
#include "gsm/ModemTests.h"
#include "base/TextCodec.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"

namespace ktx::gsm::test {

enum class Paint { None, Red, Green };

struct RecordingView : ModemView {
    void stopStatusPoll() override { ++pollStops; }
    void paintShape(int mode, bool passed) override { shapes[mode] = passed ? Paint::Green : Paint::Red; }
    Paint shape(int mode) const
    {
        const auto it = shapes.find(mode);
        return it == shapes.end() ? Paint::None : it->second;
    }
    int pollStops = 0;
    std::map<int, Paint> shapes;
};

struct GsmBench {
    VirtualTimeSource time;
    ktx::test::ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    ktx::test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
    RecordingView view;
    ModemTests tests{context, view};

    // Console lines back in UTF-8, for readable expectations.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const std::string& line : log.modem)
            out.push_back(utf8FromCp1251(line));
        return out;
    }
    std::string lastLine() const { return log.modem.empty() ? std::string() : utf8FromCp1251(log.modem.back()); }
    void answer(const std::string& command, const std::string& reply) { driver.onCommand(command, {reply}); }
};

}  // namespace ktx::gsm::test
