// Cost of one status exchange against the simulated tracker in real time:
// SendCommand + AwaitReply through UsbLink, against the floor of the bare
// driver calls that move the same bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "app/RealTimeSource.h"
#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/DeviceModel.h"
#include "sim/SimDriver.h"

namespace {

constexpr const char* kCommand = "DEVICE_TEST,1,0$";

ktx::sim::Scenario instantScenario()
{
    ktx::sim::Scenario s = ktx::sim::defaultScenario();
    s.latencyMs = 0;
    s.chunkIntervalUs = 0;
    return s;
}

void BM_SimExchangeThroughUsbLink(benchmark::State& state)
{
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::UsbLink link(driver, time);
    if (!link.OpenLink(true)) {
        state.SkipWithError("open failed");
        return;
    }
    ktx::ReplyBuffer<128> buffer;
    for (auto _ : state) {
        link.SendCommand(kCommand);
        buffer.clear();
        link.AwaitReply(buffer.data(), 128, 100);
        benchmark::DoNotOptimize(buffer.bytes.data());
    }
    if (link.transferred() == 0)
        state.SkipWithError("no reply");
    link.CloseLink();
}
BENCHMARK(BM_SimExchangeThroughUsbLink);

// The same exchange in virtual time: everything but the real sleep.
void BM_SimExchangeVirtualTime(benchmark::State& state)
{
    ktx::VirtualTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::UsbLink link(driver, time);
    if (!link.OpenLink(true)) {
        state.SkipWithError("open failed");
        return;
    }
    ktx::ReplyBuffer<128> buffer;
    for (auto _ : state) {
        link.SendCommand(kCommand);
        buffer.clear();
        link.AwaitReply(buffer.data(), 128, 100);
        benchmark::DoNotOptimize(buffer.bytes.data());
    }
    link.CloseLink();
}
BENCHMARK(BM_SimExchangeVirtualTime);

// The same bytes with the bare driver: the read asks for exactly the reply's
// length, so it never waits for a timeout.
void BM_SimExchangeBareDriver(benchmark::State& state)
{
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::FT_HANDLE handle = nullptr;
    if (driver.FT_Open(0, &handle) != ktx::FT_OK) {
        state.SkipWithError("open failed");
        return;
    }
    driver.FT_SetTimeouts(handle, 1, 1);
    const std::string command = kCommand;
    std::string sample;
    driver.device().execute(command, 0, sample);
    const auto replyLength = static_cast<uint32_t>(sample.size());
    char buffer[129] = {};
    for (auto _ : state) {
        uint32_t moved = 0;
        driver.FT_Purge(handle, ktx::FT_PURGE_RX | ktx::FT_PURGE_TX);
        driver.FT_Write(handle, command.data(), static_cast<uint32_t>(command.size()), &moved);
        driver.FT_Read(handle, buffer, replyLength, &moved);
        benchmark::DoNotOptimize(buffer);
        benchmark::DoNotOptimize(moved);
    }
    driver.FT_Close(handle);
}
BENCHMARK(BM_SimExchangeBareDriver);

// The floor as the console's exchange meets it: the bare driver calls of
// SendCommand + AwaitReply, one read asking for the whole buffer, so it
// waits out the same 1 ms timeout. The console's own cost is what (a) adds.
void BM_SimExchangeBareDriverSameRead(benchmark::State& state)
{
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::FT_HANDLE handle = nullptr;
    if (driver.FT_Open(0, &handle) != ktx::FT_OK) {
        state.SkipWithError("open failed");
        return;
    }
    driver.FT_SetTimeouts(handle, 1, 1);
    const std::string command = kCommand;
    char buffer[129] = {};
    for (auto _ : state) {
        uint32_t moved = 0;
        driver.FT_Purge(handle, ktx::FT_PURGE_RX | ktx::FT_PURGE_TX);
        driver.FT_Write(handle, command.data(), static_cast<uint32_t>(command.size()), &moved);
        driver.FT_Read(handle, buffer, 128, &moved);
        benchmark::DoNotOptimize(buffer);
        benchmark::DoNotOptimize(moved);
    }
    driver.FT_Close(handle);
}
BENCHMARK(BM_SimExchangeBareDriverSameRead);

// The firmware model alone: building the reply text.
void BM_SimDeviceTestReply(benchmark::State& state)
{
    ktx::sim::DeviceModel model(instantScenario());
    std::string reply;
    reply.reserve(128);
    int64_t nowMs = 0;
    for (auto _ : state) {
        reply.clear();
        model.execute(kCommand, ++nowMs, reply);
        benchmark::DoNotOptimize(reply.data());
    }
}
BENCHMARK(BM_SimDeviceTestReply);

}  // namespace

namespace {

// What the one read timeout of an exchange costs by itself: a fast-open
// AwaitReply asks for more bytes than the reply holds, so its first read
// waits out the 1 ms timeout, as the real driver's does.
void BM_RealSleepOneMs(benchmark::State& state)
{
    ktx::RealTimeSource time;
    for (auto _ : state)
        time.sleepUs(1000);
}
BENCHMARK(BM_RealSleepOneMs);

}  // namespace
