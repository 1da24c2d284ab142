#include "app/ui/DeviceChangeMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>

namespace ktx {

namespace {
// Events taken per wake-up, so a flood can't keep the window from painting;
// the notifier fires again for the rest.
constexpr int kEventsPerWakeUp = 64;
}  // namespace

DeviceChangeMonitor::DeviceChangeMonitor(QObject* parent) : QObject(parent) {}

DeviceChangeMonitor::~DeviceChangeMonitor()
{
    stop();
}

bool DeviceChangeMonitor::start()
{
    if (monitor_)
        return true;
    udev_ = udev_new();
    if (!udev_)
        return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    // Whole devices only: interfaces and the ttyUSB node come and go when the
    // console itself opens the chip and detaches the kernel driver.
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(monitor_) < 0) {
        stop();
        return false;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    if (fd < 0) {
        stop();
        return false;
    }
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceChangeMonitor::readEvents);
    return true;
}

void DeviceChangeMonitor::stop()
{
    delete notifier_;
    notifier_ = nullptr;
    if (monitor_)
        udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_)
        udev_unref(udev_);
    udev_ = nullptr;
}

bool isPlugAction(const char* action)
{
    return action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
}

bool mayBeTracker(const char* vendorId, const char* product)
{
    constexpr long kFtdiVendor = 0x0403;
    const char* hexVendor = vendorId && *vendorId ? vendorId : product;
    if (!hexVendor || !*hexVendor)
        return true;
    char* end = nullptr;
    const long vendor = std::strtol(hexVendor, &end, 16);
    // "0403" alone, or "403" before the product's '/'.
    const bool whole = end != hexVendor && (*end == '\0' || (hexVendor == product && *end == '/'));
    return !whole || vendor == kFtdiVendor;
}

void DeviceChangeMonitor::readEvents()
{
    // The monitor's socket does not block: no event means nothing is left.
    for (int i = 0; i < kEventsPerWakeUp && monitor_; ++i) {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device)
            break;
        const char* action = udev_device_get_action(device);
        const bool changed = isPlugAction(action)
            && mayBeTracker(udev_device_get_property_value(device, "ID_VENDOR_ID"),
                udev_device_get_property_value(device, "PRODUCT"));
        udev_device_unref(device);
        if (changed)
            emit deviceChanged();
    }
}

}  // namespace ktx
