// Any bytes from the device into the accelerometer reply scan and the view
// built from it: bars stay within 0..128 whatever the values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "accel/AccelReading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the poll holds it: at most 999 bytes with a zero behind them.
    const std::string reply(reinterpret_cast<const char*>(data), size < 999 ? size : 999);
    const auto reading = ktx::accel::scanAccelReading(reply.c_str());
    if (!reading)
        return 0;
    const ktx::accel::AccelView view = ktx::accel::accelView(*reading);
    for (const int bar : view.axisBars)
        if (bar < 0 || bar > ktx::accel::kBarMaximum)
            __builtin_trap();
    if (view.magnitudeBar < 0 || view.magnitudeBar > ktx::accel::kBarMaximum)
        __builtin_trap();
    for (int i = 0; i < ktx::accel::kArrowCount; i += 2)
        if (view.green[i] && view.green[i + 1])
            __builtin_trap();
    return 0;
}
