// Cost of one CAN monitor poll of the "CAN" tab: fifteen frames read,
// logged to the stream file, decoded and shown, against the simulated truck
// on virtual time (the 100 ms read timeout costs nothing), so what is
// measured is the console's own work. Once with a fresh CANGrid and once
// with 2 000 identifiers already in it.
#include <benchmark/benchmark.h>

#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/ui/Consoles.h"
#include "link/AppContext.h"
#include "can/ui/CanTab.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"

namespace {

// Ten decoded groups and `undecoded` other identifiers cycled five a reply.
ktx::sim::Scenario fifteenFrames(int undecoded)
{
    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    scenario.can.fuelSensors = 1;
    scenario.can.trailerKg = 0;
    scenario.can.undecodedIds = undecoded;
    scenario.can.undecodedPerReply = 5;
    return scenario;
}

void runPolls(benchmark::State& state, int undecoded)
{
    QTemporaryDir dir;
    ktx::VirtualTimeSource time;
    ktx::sim::SimDriver driver(time, fifteenFrames(undecoded));
    ktx::UsbLink link(driver, time);
    ktx::Consoles consoles(time, dir.path().toStdString());
    ktx::DeviceInfo device;
    device.version = 57;
    ktx::AppContext context{link, time, consoles, device};
    ktx::CanTab tab(context);
    QTimer& timer3 = *tab.findChild<QTimer*>("Timer3");
    tab.writeGridHeaders();
    const QTableWidget* grid = tab.findChild<QTableWidget*>(QStringLiteral("CANGrid"));
    // Fill CANGrid with every identifier of the scenario first.
    for (int poll = 0; poll < undecoded / 5; ++poll)
        tab.CANPushClick();
    if (grid->rowCount() != undecoded + 1) {
        state.SkipWithError("CANGrid not filled");
        return;
    }
    for (auto _ : state) {
        tab.CANPushClick();
        time.advanceMs(250);
    }
    state.counters["rows"] = grid->rowCount();
}

void BM_CanPollTab(benchmark::State& state)
{
    runPolls(state, 5);
}
BENCHMARK(BM_CanPollTab)->Unit(benchmark::kMicrosecond);

void BM_CanPollTabBusyGrid(benchmark::State& state)
{
    runPolls(state, 2000);
}
BENCHMARK(BM_CanPollTabBusyGrid)->Unit(benchmark::kMicrosecond);

}  // namespace
