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

// A memory stick or a mouse plugged in beside the tracker must not start an
// identification (which starts the status test when asked to).
TEST(DeviceChangeMonitor, OnlyDevicesThatMayBeTrackersCount)
{
    struct Case {
        const char* vendorId;  // udev's ID_VENDOR_ID
        const char* product;   // the kernel's PRODUCT
        bool counts;
    };
    const Case cases[] = {
        {"0403", "403/6001/600", true},
        {"0403", nullptr, true},
        {nullptr, "403/6015/1000", true},
        {"", "403/6001/600", true},
        {"0781", "781/5567/100", false},  // a memory stick
        {"046d", "46d/c077/7200", false},  // a mouse
        {nullptr, "781/5567/100", false},
        {"1403", nullptr, false},
        {nullptr, "1403/6001/600", false},
        {nullptr, nullptr, true},  // nothing said: never miss a tracker
        {"zz", nullptr, true},
        {nullptr, "garbage", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mayBeTracker(c.vendorId, c.product), c.counts)
            << (c.vendorId ? c.vendorId : "(null)") << " " << (c.product ? c.product : "(null)");
}

}  // namespace ktx
