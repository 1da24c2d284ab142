// Cost of one status exchange against the simulated tracker in real time:
// SendCommand + AwaitReply through UsbLink, against the floor of the bare
// driver calls that move the same bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "link/RealTimeSource.h"
#include "BenchScenario.h"
#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/DeviceModel.h"
#include "sim/SimDriver.h"

namespace {

constexpr const char* kCommand = "DEVICE_TEST,1,0$";

using ktx::bench::instantScenario;

// One exchange through UsbLink; with the real clock the first read waits out
// its 1 ms timeout as the FTDI driver's does, with the virtual one it doesn't.
template <class Time>
void BM_SimExchange(benchmark::State& state)
{
    Time time;
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
BENCHMARK(BM_SimExchange<ktx::RealTimeSource>)->Name("BM_SimExchangeThroughUsbLink");
BENCHMARK(BM_SimExchange<ktx::VirtualTimeSource>)->Name("BM_SimExchangeVirtualTime");

// The floor: the bare driver calls of one exchange. Arg 0 reads exactly the
// reply's length, so the read never waits; arg 1 asks for the whole buffer as
// AwaitReply does, so it waits out the same 1 ms timeout. The console's own
// cost is what the UsbLink exchange adds to arg 1.
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
    const auto readCount = state.range(0) == 0 ? static_cast<uint32_t>(sample.size()) : 128u;
    char buffer[129] = {};
    for (auto _ : state) {
        uint32_t moved = 0;
        driver.FT_Purge(handle, ktx::FT_PURGE_RX | ktx::FT_PURGE_TX);
        driver.FT_Write(handle, command.data(), static_cast<uint32_t>(command.size()), &moved);
        driver.FT_Read(handle, buffer, readCount, &moved);
        benchmark::DoNotOptimize(buffer);
        benchmark::DoNotOptimize(moved);
    }
    driver.FT_Close(handle);
}
BENCHMARK(BM_SimExchangeBareDriver)->Arg(0)->Arg(1);

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
