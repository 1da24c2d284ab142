#pragma once
// Benches for the receiver and clock tests: the scripted driver or the
// simulated tracker on virtual time, with the context the area's code takes.
#include <QLocale>
#include <memory>

#include "link/AppContext.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"
#include "support/LocaleScope.h"

namespace ktx::gnss::test {

using ktx::test::RecordingSink;

// Tuesday 15 March 2011, 12:34:56.250 UTC.
inline constexpr int64_t kMarch2011Ms = 1300192496250;

struct ScriptedBench {
    VirtualTimeSource time{kMarch2011Ms};
    ktx::test::ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
};

struct SimBench {
    explicit SimBench(const sim::Scenario& scenario = sim::defaultScenario(), int64_t wallStartMs = 1796817600000LL)
        : time(wallStartMs), driver(time, scenario)
    {
    }
    VirtualTimeSource time;
    sim::SimDriver driver;
    UsbLink link{driver, time};
    RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};
};

using ScopedLocale = ktx::test::LocaleScope;

inline QLocale russian() { return QLocale(QLocale::Russian, QLocale::Russia); }

}  // namespace ktx::gnss::test
