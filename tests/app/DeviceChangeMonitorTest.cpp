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
}  // namespace ktx
