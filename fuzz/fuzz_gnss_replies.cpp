// Any bytes from the device into the antenna, position and clock reply scans
// and on to the texts they become: nothing may read past the reply or crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gnss/AntennaCheck.h"
#include "gnss/ClockRegisters.h"
#include "gnss/PointFix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the handlers hold it: at most 127 bytes with a zero behind them.
    const std::string reply(reinterpret_cast<const char*>(data), size < 127 ? size : 127);

    if (const auto reading = ktx::gnss::scanAntennaReading(reply.c_str())) {
        const auto look = ktx::gnss::antennaLook(ktx::gnss::antennaState(*reading));
        if (look.breakPicture && look.shortPicture)
            __builtin_trap();
    }

    const ktx::gnss::PointWords words = ktx::gnss::scanPoint(reply.c_str());
    if (words.fields < 0 || words.fields > 4)
        __builtin_trap();
    if (const auto view = ktx::gnss::positionView(words)) {
        if (view->latitude.size() > 20 || view->longitude.size() > 20 || view->date.size() > 12)
            __builtin_trap();
    }

    if (const auto registers = ktx::gnss::scanTimer(reply.c_str())) {
        if (ktx::gnss::clockText(*registers).size() > 32)
            __builtin_trap();
    }
    return 0;
}
