// Whether or not udev can be reached (containers often can't), the monitor
// must say so, start only once and tear down cleanly.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <memory>

#include "app/ui/DeviceChangeMonitor.h"

namespace ktx {
namespace {

TEST(DeviceChangeMonitor, StartsOnceAndStopsCleanly)
{
    auto monitor = std::make_unique<DeviceChangeMonitor>();
    QSignalSpy changes(monitor.get(), &DeviceChangeMonitor::deviceChanged);
    const bool started = monitor->start();
    EXPECT_EQ(monitor->isRunning(), started);
    if (started) {
        EXPECT_TRUE(monitor->start());
        // Nobody plugs anything in during the test.
        QCoreApplication::processEvents();
        EXPECT_EQ(changes.count(), 0);
    }
    monitor.reset();
}

}  // namespace

TEST(DeviceChangeMonitor, OnlyPluggingAndUnpluggingCount)
{
    const std::pair<const char*, bool> cases[] = {{"add", true}, {"remove", true}, {"bind", false},
        {"unbind", false}, {"change", false}, {"move", false}, {"", false}, {"ADD", false}, {nullptr, false}};
    for (const auto& [action, plug] : cases)
        EXPECT_EQ(isPlugAction(action), plug) << (action ? action : "(null)");
}

}  // namespace ktx
