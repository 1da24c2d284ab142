// Any bytes from the device into the status poll's reply scans and on to the
// texts they become: nothing may read past the reply or crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/FloatText.h"
#include "io/FrequencyCalc.h"
#include "io/StatusDisplay.h"
#include "io/StatusReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the poll holds it: at most 128 bytes with a zero behind them.
    const std::string reply(reinterpret_cast<const char*>(data), size < 128 ? size : 128);

    ktx::io::StatusRecord record;
    ktx::io::scanDeviceTest(reply.c_str(), record);
    const auto stamp = ktx::io::deviceTestStamp(reply.c_str());
    const ktx::io::AddTestScan addTest = ktx::io::scanAddTest(reply.c_str(), record);
    if (addTest.fields < 0 || addTest.fields > 8 || (addTest.longForm && addTest.fields != 8))
        __builtin_trap();

    const ktx::io::StatusView view = ktx::io::buildStatusView(record, addTest, record.in34, {2.5, -1e300, 0, 1}, ",");
    for (int bar : view.bars)
        if (bar < 0 || bar > ktx::io::kBarMaximum)
            __builtin_trap();

    ktx::io::StatusStamps stamps{stamp.value_or(1), 1, addTest.time, 0, addTest.longTime};
    std::array<std::string, 8> captions;
    for (size_t i = 0; i < captions.size(); ++i)
        captions[i] = view.counters[i].value_or(reply);
    ktx::io::FrequencyCalc calc;
    calc.tick(captions, {1, 0, 1, 0, 1});
    calc.tick(captions, stamps);

    // The same bytes as a number for the panels' float texts.
    double number = 0;
    std::memcpy(&number, reply.data(), reply.size() < sizeof number ? reply.size() : sizeof number);
    ktx::io::fixedText(number, 3, 1, ",");
    ktx::io::generalText(number, 15, ",");
    ktx::io::voltText(ktx::io::supplyVolts(number), ".");
    return 0;
}
