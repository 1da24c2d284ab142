// Every modem procedure with arbitrary device replies, the AT console's
// timeout text and the DNS answer parse: no crash, no wait past its bound.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/LogSink.h"
#include "gsm/ModemFrame.h"
#include "gsm/ModemTests.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"

#include "AcceptingDriver.h"

namespace {

// Hands out the fuzz bytes, in pieces, as the replies to everything.
class ReplyDriver : public ktx::fuzz::AcceptingDriver {
public:
    std::string bytes;
    size_t at = 0;
    ktx::VirtualTimeSource* time = nullptr;

    ktx::FT_STATUS FT_Read(ktx::FT_HANDLE, void* buffer, uint32_t count, uint32_t* received) override
    {
        // A length byte, then that many reply bytes.
        *received = 0;
        if (at < bytes.size()) {
            const size_t length = std::min<size_t>({size_t(static_cast<uint8_t>(bytes[at++])), bytes.size() - at, size_t(count)});
            std::memcpy(buffer, bytes.data() + at, length);
            at += length;
            *received = static_cast<uint32_t>(length);
        }
        time->sleepMs(100);
        return ktx::FT_OK;
    }
};

class NullSink : public ktx::LogSink {
public:
    int debugLevel() const override { return 2; }
    void debugLine(std::string_view) override {}
    void modemLine(std::string_view) override {}
    void rs485Line(std::string_view) override {}
    void telitLine(std::string_view) override {}
    void streamLine(std::string_view, std::string_view, std::string_view) override {}
};

class NullView : public ktx::gsm::ModemView {
public:
    void stopStatusPoll() override {}
    void paintShape(int mode, bool) override
    {
        if (mode < 1 || mode > 11 || mode == 9)
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ktx::VirtualTimeSource time;
    ReplyDriver driver;
    driver.bytes = text;
    driver.time = &time;
    ktx::UsbLink link(driver, time);
    NullSink log;
    ktx::DeviceInfo device;
    device.version = 57;
    ktx::AppContext context{link, time, log, device};
    NullView view;
    ktx::gsm::ModemTests tests(context, view);

    tests.powerOn(1);
    tests.pinEntry("1234");
    tests.settings();
    tests.registration();
    tests.gprsAvailability();
    tests.gprsConnect("apn", "user", "pw");
    tests.serverConnect("192.0.2.1", "80");
    tests.disconnect();
    tests.call("112");
    tests.sms("GSMSTATUS;$");
    tests.powerOff();
    tests.atConsole("AT", text);
    ktx::gsm::parseDnsAnswer(log, text);

    const ktx::gsm::ConsoleTimeout timeout = ktx::gsm::parseConsoleTimeout(text);
    if (!timeout.tooLong && ktx::gsm::ModemWait(timeout.ms) > ktx::gsm::kLongestConsoleWaitMs)
        std::abort();
    return 0;
}
