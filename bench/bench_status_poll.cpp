// Cost of one status poll of the "Входы и выходы" tab against the simulated
// tracker answering at once, in real time: the whole handler (both
// exchanges, both data log lines on disk, every widget updated) against the
// floor of its two bare exchanges through UsbLink, and the same handler as
// the window runs it: queued, polled on the device worker, shown back on the
// GUI thread. CPU time is the whole process's, both threads together.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "link/AppContext.h"
#include "link/RealTimeSource.h"
#include "app/ui/Consoles.h"
#include "base/ui/DeviceActions.h"
#include "io/StatusPoll.h"
#include "io/ui/InputsTab.h"
#include "BenchScenario.h"
#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "sim/SimDriver.h"

namespace {

using ktx::bench::instantScenario;

void BM_StatusPollTab(benchmark::State& state)
{
    QTemporaryDir dir;
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::UsbLink link(driver, time);
    ktx::Consoles consoles(time, dir.path().toStdString());
    ktx::DeviceInfo device;
    device.version = 57;
    ktx::AppContext context{link, time, consoles, device};
    QTimer timer1;
    QTimer timer6;
    ktx::InputsTab tab(context, &timer1, &timer6);
    for (auto _ : state)
        tab.ButtonWorkClick();
    if (tab.statusPoll().record().power == 0)
        state.SkipWithError("no reply");
}
BENCHMARK(BM_StatusPollTab)->MeasureProcessCPUTime();

void BM_StatusPollTabQueued(benchmark::State& state)
{
    QTemporaryDir dir;
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::UsbLink link(driver, time);
    ktx::Consoles consoles(time, dir.path().toStdString());
    ktx::DeviceInfo device;
    device.version = 57;
    ktx::DeviceActions actions(ktx::DeviceActions::Mode::Worker);
    ktx::AppContext context{link, time, consoles, device, &actions};
    QTimer timer1;
    QTimer timer6;
    ktx::InputsTab tab(context, &timer1, &timer6);
    for (auto _ : state) {
        // One Timer1 tick, as the window delivers it, to the last view call.
        tab.ButtonWorkClick();
        while (actions.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (tab.statusPoll().record().power == 0)
        state.SkipWithError("no reply");
}
BENCHMARK(BM_StatusPollTabQueued)->MeasureProcessCPUTime();

void BM_StatusPollBareExchanges(benchmark::State& state)
{
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, instantScenario());
    ktx::UsbLink link(driver, time);
    ktx::ReplyBuffer<128> reply;
    for (auto _ : state) {
        if (!link.OpenLink(true)) {
            state.SkipWithError("open failed");
            return;
        }
        link.SendCommand(ktx::io::deviceTestCommand(true, false).c_str());
        reply.clear();
        link.AwaitReply(reply.data(), 128, 100);
        link.SendCommand("ADD_TEST$");
        reply.clear();
        link.AwaitReply(reply.data(), 128, 100);
        link.CloseLink();
        benchmark::DoNotOptimize(reply.bytes.data());
    }
}
BENCHMARK(BM_StatusPollBareExchanges);

}  // namespace
