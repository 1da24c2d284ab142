// The status poll as the window runs it on the real clock: inside an event
// delivery, with the action guard offered a turn in every wait. Set against
// BM_StatusPollTab, this is what keeping the window alive costs a poll.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "BenchScenario.h"
#include "link/RealTimeSource.h"
#include "app/ui/ActionGuard.h"
#include "app/ui/Consoles.h"
#include "link/AppContext.h"
#include "io/StatusPoll.h"
#include "io/ui/InputsTab.h"
#include "link/UsbLink.h"
#include "sim/SimDriver.h"

namespace {

void BM_StatusPollTabGuarded(benchmark::State& state)
{
    QTemporaryDir dir;
    ktx::RealTimeSource time;
    ktx::sim::SimDriver driver(time, ktx::bench::instantScenario());
    ktx::UsbLink link(driver, time);
    ktx::Consoles consoles(time, dir.path().toStdString());
    ktx::DeviceInfo device;
    device.version = 57;
    ktx::AppContext context{link, time, consoles, device};
    QWidget window;
    auto* timer1 = new QTimer(&window);
    auto* timer6 = new QTimer(&window);
    ktx::InputsTab tab(context, timer1, timer6, &window);
    const ktx::ActionGuard guard(window, time, QEvent::User);
    for (auto _ : state) {
        // One Timer1 tick, as the application delivers it.
        const ktx::ActionGuard::Delivery tick;
        tab.ButtonWorkClick();
    }
    if (tab.statusPoll().record().power == 0)
        state.SkipWithError("no reply");
}
BENCHMARK(BM_StatusPollTabGuarded);

}  // namespace
