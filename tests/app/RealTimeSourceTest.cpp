// The real clock and beeper, with waits of a few tens of milliseconds. The
// test machine has no sound device, which is the case that must not hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "link/Beeper.h"
#include "link/RealTimeSource.h"

namespace ktx {
namespace {

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TEST(RealTimeSource, ClocksCountFromStartInMilliseconds)
{
    RealTimeSource time;
    const int32_t clockAtStart = time.processClockMs();
    EXPECT_GE(clockAtStart, 0);
    EXPECT_LT(clockAtStart, 50);

    const int64_t monoBefore = time.monotonicUs();
    time.sleepMs(20);
    const int64_t elapsedUs = time.monotonicUs() - monoBefore;
    EXPECT_GE(elapsedUs, 20000);
    EXPECT_LT(elapsedUs, 1000000);
    EXPECT_GE(time.processClockMs() - clockAtStart, 20);
    EXPECT_LT(time.processClockMs() - clockAtStart, 1000);

    const int64_t systemMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    EXPECT_NEAR(double(time.wallClockUtcMs()), double(systemMs), 1000.0);
}

TEST(RealTimeSource, BeepTakesItsDurationWithOrWithoutSound)
{
    RealTimeSource time;
    // 0 Hz plays nothing at all; 50 Hz is the lowest tone the console uses.
    for (const uint32_t frequency : {440u, 50u, 0u}) {
        const int64_t start = steadyMs();
        time.beep(frequency, 30);
        const int64_t took = steadyMs() - start;
        EXPECT_GE(took, 30) << frequency << " Hz";
        EXPECT_LT(took, 1000) << frequency << " Hz";
    }
}

TEST(Beeper, MissingDeviceFailsAtOnce)
{
    Beeper beeper("ktx_no_such_pcm");
    const int64_t start = steadyMs();
    EXPECT_FALSE(beeper.play(440, 2000));
    EXPECT_LT(steadyMs() - start, 200);
}

// ALSA is loaded with the first tone: ALSA's null device takes a whole one.
TEST(Beeper, NullDevicePlaysTheWholeTone)
{
    Beeper beeper("null");
    const int64_t start = steadyMs();
    EXPECT_TRUE(beeper.play(440, 100));
    EXPECT_LT(steadyMs() - start, 1000);
}

}  // namespace
}  // namespace ktx
