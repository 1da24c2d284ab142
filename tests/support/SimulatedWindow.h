#pragma once
// The window on the simulated tracker, in a folder of its own, with nothing
// on the PC to open files (KTX_NO_BROWSER).
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/TKorvantixtest.h"
#include "widgets/DeviceActions.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"

namespace ktx::test {

// In virtual time: a click on a tool button does all its work before it
// returns.
struct SimulatedWindow {
    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator{time, sim::defaultScenario()};
    TKorvantixtest window{simulator, time, dir.path().toStdString()};

    SimulatedWindow()
    {
        qputenv("KTX_NO_BROWSER", "1");
        window.show();
        QApplication::processEvents();  // identification
    }
};

// On the real clock: identification has run on the worker.
inline bool identifiedOnTheWorker(TKorvantixtest& window)
{
    auto* serial = window.findChild<QLabel*>("SerPanel");
    return QTest::qWaitFor([&] { return serial->text() == "1234567" && !window.deviceActions().busy(); }, 20000);
}

}  // namespace ktx::test
