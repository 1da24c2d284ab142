#pragma once
// Tells the window when a USB device is plugged in or pulled out, as Windows'
// device-change message does, from udev's netlink events.
#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace ktx {

// A udev action that means a device came or went: "add" or "remove". The
// bind/unbind/change that follow our own opens of the chip are not.
bool isPlugAction(const char* action);

// Whether a device that came or went may be a tracker: an FTDI chip (vendor
// 0403), from udev's ID_VENDOR_ID ("0403") or else the kernel's PRODUCT
// ("403/6001/600"). A memory stick or a mouse is not; a device whose event
// names no vendor at all counts, so a tracker is never missed.
bool mayBeTracker(const char* vendorId, const char* product);

class DeviceChangeMonitor : public QObject {
    Q_OBJECT
public:
    explicit DeviceChangeMonitor(QObject* parent = nullptr);
    ~DeviceChangeMonitor() override;

    // Starts listening. False when udev can't be reached (a container without
    // netlink); the program then carries on without device-change events.
    // Calling it again while listening does nothing and returns true.
    bool start();
    bool isRunning() const { return monitor_ != nullptr; }

signals:
    // Once for every USB device added or removed that may be a tracker.
    void deviceChanged();

private:
    void readEvents();
    void stop();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ktx
