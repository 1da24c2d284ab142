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
    // Once for every USB device added or removed.
    void deviceChanged();

private:
    void readEvents();
    void stop();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ktx
