// Any bytes from the device as a fuel sensor or extender reply, and on to
// the log lines and displays they become: nothing may read past the reply
// or crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rs485/Crc8.h"
#include "rs485/ExtenderFrame.h"
#include "rs485/FuelSensors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the polls hold them: at most 499 or 127 bytes with a zero behind.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string fuel = bytes.substr(0, 499);
    if (const auto readings = ktx::rs485::parseFuelReply(fuel.c_str())) {
        const ktx::rs485::FuelAddresses addresses{fuel, "", "1", "2", "3", "4", "5", "6"};
        ktx::rs485::fuelLogFields(addresses, *readings);
        for (const auto& reading : *readings) {
            const int bar = ktx::rs485::levelBarPosition(reading.level);
            if (bar < 0 || bar > ktx::rs485::kLevelBarMaximum)
                __builtin_trap();
        }
    }
    ktx::rs485::advancedAddress(fuel);

    const std::string extender = bytes.substr(0, 127);
    const ktx::rs485::ExtenderAnswer answer = ktx::rs485::parseExtenderAnswer(extender.c_str());
    if (answer.check == ktx::rs485::AnswerCheck::Accepted) {
        if (ktx::rs485::crc8(answer.bytes) != 0)  // a frame with its own CRC checks to zero
            __builtin_trap();
        if (ktx::rs485::extenderLogFields(answer.p(), answer.m()).size() != 33)
            __builtin_trap();
    }
    return 0;
}
