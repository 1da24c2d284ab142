// Cost of one status poll of the "Входы и выходы" tab against the simulated
// tracker answering at once, in real time: the whole handler (both
// exchanges, both data log lines on disk, every widget updated) against the
// floor of its two bare exchanges through UsbLink, and the same handler as
// the window runs it: queued, polled on the device worker, shown back on the
// GUI thread. CPU time is the whole process's, both threads together.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QLabel>
#include <QTimer>
#include <memory>

#include "link/AppContext.h"
#include "link/RealTimeSource.h"
#include "app/ui/Consoles.h"
#include "widgets/DeviceActions.h"
#include "widgets/LivePlotPanel.h"
#include "io/StatusPoll.h"
#include "io/ui/InputsTab.h"
#include "BenchScenario.h"
#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "sim/SimDriver.h"

namespace {

// A poll that got an answer shows the supply's reading; before one, "0 (~...".
bool polled(const ktx::InputsTab& tab)
{
    return !tab.findChild<QLabel*>(QStringLiteral("VoltagePanel"))->text().startsWith(QStringLiteral("0 "));
}

using ktx::bench::instantScenario;

// The inputs tab on the instant tracker; with actions, its polls are queued
// as the window queues them.
struct PollTab {
    explicit PollTab(ktx::DeviceActions* actions = nullptr)
        : context{link, time, consoles, device, actions}, actions(actions)
    {
        device.version = 57;
    }
    // A tick may have queued one more poll, whose work uses the tab: it ends
    // before the tab goes, as the window's queue ends before its tabs.
    ~PollTab()
    {
        timer1.stop();
        timer6.stop();
        settle();
    }

    // Until the queue has nothing left: what the tab queued as it was made
    // (seeding its poll memory), or the poll of a last tick.
    void settle()
    {
        if (!actions || !actions->busy())
            return;
        QEventLoop loop;
        QObject::connect(actions, &ktx::DeviceActions::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QTemporaryDir dir;
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver{time, instantScenario()};
    ktx::UsbLink link{driver, time};
    ktx::Consoles consoles{time, dir.path().toStdString()};
    ktx::DeviceInfo device;
    ktx::AppContext context;
    ktx::DeviceActions* actions;
    ktx::InputsTab tab{context};
    QTimer& timer1 = *tab.findChild<QTimer*>("Timer1");
    QTimer& timer6 = *tab.findChild<QTimer*>("Timer6");
};

void BM_StatusPollTab(benchmark::State& state)
{
    PollTab bench;
    for (auto _ : state)
        bench.tab.ButtonWorkClick();
    if (!polled(bench.tab))
        state.SkipWithError("no reply");
}
BENCHMARK(BM_StatusPollTab)->MeasureProcessCPUTime();

void BM_StatusPollTabQueued(benchmark::State& state)
{
    ktx::DeviceActions actions(ktx::DeviceActions::Mode::Worker);
    PollTab bench(&actions);
    bench.settle();
    // The event loop runs until the poll's results are shown, as the window's
    // runs between two ticks. (processEvents with WaitForMoreEvents would go
    // on waiting after delivering them under Qt's own event dispatcher.)
    QEventLoop loop;
    QObject::connect(&actions, &ktx::DeviceActions::idle, &loop, &QEventLoop::quit);
    for (auto _ : state) {
        // One Timer1 tick, as the window delivers it, to the last view call.
        bench.tab.ButtonWorkClick();
        if (actions.busy())
            loop.exec();
    }
    if (!polled(bench.tab))
        state.SkipWithError("no reply");
}
BENCHMARK(BM_StatusPollTabQueued)->MeasureProcessCPUTime();

// The same pair with the tick itself delivered by the event loop, as the
// window's Timer1 delivers it: the direct poll runs inside the timer's
// event, the queued one is handed to the worker there and shown after.
void runTickDelivered(benchmark::State& state, ktx::DeviceActions* actions)
{
    PollTab bench(actions);
    bench.settle();
    QEventLoop loop;
    // Only the idle after the tick's own poll ends it: one that comes before
    // the timer fires would stop the loop with the poll not yet queued.
    bool ticked = false;
    if (actions)
        QObject::connect(actions, &ktx::DeviceActions::idle, &loop, [&] {
            if (ticked)
                loop.quit();
        });
    for (auto _ : state) {
        ticked = false;
        QTimer::singleShot(0, &bench.tab, [&] {
            ticked = true;
            bench.tab.ButtonWorkClick();
            if (!actions || !actions->busy())
                loop.quit();
        });
        loop.exec();
    }
    if (!polled(bench.tab))
        state.SkipWithError("no reply");
}

void BM_StatusPollTick(benchmark::State& state) { runTickDelivered(state, nullptr); }
BENCHMARK(BM_StatusPollTick)->MeasureProcessCPUTime();

void BM_StatusPollTickQueued(benchmark::State& state)
{
    ktx::DeviceActions actions(ktx::DeviceActions::Mode::Worker);
    runTickDelivered(state, &actions);
}
BENCHMARK(BM_StatusPollTickQueued)->MeasureProcessCPUTime();

// The queue's own cost: an empty action handed to the worker and its end
// shown back on the GUI thread.
void BM_EmptyActionRoundTrip(benchmark::State& state)
{
    ktx::DeviceActions actions(ktx::DeviceActions::Mode::Worker);
    QEventLoop loop;
    QObject::connect(&actions, &ktx::DeviceActions::idle, &loop, &QEventLoop::quit);
    for (auto _ : state) {
        actions.enqueue({nullptr, nullptr, nullptr, [] {}, [] {}});
        loop.exec();
    }
}
BENCHMARK(BM_EmptyActionRoundTrip)->MeasureProcessCPUTime();

// The tab on screen, as the technician has it, with the events of each poll
// handled (repaints, the plot's coalesced redraw). plotShown: the volts plot
// beside it; redrawEveryPoll: the plot redrawn after every poll, as in the
// program, where a redraw is due at most every LivePlotPanel::kRefreshMs
// and the poll runs every 200 ms (here polls come back to back, so the
// coalesced variant redraws far less often than once per poll).
struct ShownTab {
    QTemporaryDir dir;
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver{time, instantScenario()};
    ktx::UsbLink link{driver, time};
    ktx::Consoles consoles{time, dir.path().toStdString()};
    ktx::DeviceInfo device;
    ktx::AppContext context{link, time, consoles, device};
    QWidget window;
    ktx::InputsTab* tab = new ktx::InputsTab(context, &window);

    explicit ShownTab(bool plotShown)
    {
        device.version = 57;
        window.resize(785, 449);
        window.show();
        tab->plot()->setWanted(plotShown);
        // The plot's span filled, as after a minute of polling.
        for (int i = 0; i < 300; ++i)
            tab->ButtonWorkClick();
        QApplication::processEvents();
    }
};

void runShownTab(benchmark::State& state, bool plotShown, bool redrawEveryPoll)
{
    ShownTab shown(plotShown);
    ktx::LivePlotPanel* plot = shown.tab->plot();
    const int redrawsBefore = plot->redraws();
    for (auto _ : state) {
        shown.tab->ButtonWorkClick();
        if (redrawEveryPoll)
            plot->flush();  // painted by the events handled next, as in the program
        QApplication::processEvents();
    }
    state.counters["redraws"] = plot->redraws() - redrawsBefore;
    if (!polled(*shown.tab))
        state.SkipWithError("no reply");
}

void BM_StatusPollTabShown(benchmark::State& state) { runShownTab(state, false, false); }
BENCHMARK(BM_StatusPollTabShown);

void BM_StatusPollTabShownWithPlot(benchmark::State& state) { runShownTab(state, true, false); }
BENCHMARK(BM_StatusPollTabShownWithPlot);

void BM_StatusPollTabShownWithPlotRedrawnEveryPoll(benchmark::State& state) { runShownTab(state, true, true); }
BENCHMARK(BM_StatusPollTabShownWithPlotRedrawnEveryPoll);

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
