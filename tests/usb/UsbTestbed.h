#pragma once
// A umockdev test bed with emulated FTDI devices on USB bus 1: sysfs entries,
// udev properties and /dev/bus/usb nodes whose ioctls an EmulatedFt232r (or
// any umockdev ioctl handler) answers. The program must run with umockdev's
// preload library (under umockdev-wrapper) for libusb to see them.
#include <cstdint>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace ktx::usbemu {

struct EmulatedDevice {
    int address = 2;
    int port = 1;  // on the root hub
    uint16_t vendor = 0x0403;
    uint16_t product = 0x6001;
    bool serialString = true;  // the device descriptor names a serial string
    int configuration = 1;     // active configuration; 0: unconfigured
    std::string description = "Korvantix";
    std::string serial = "1234567";

    std::string node() const;
    std::string sysfsPath() const;
};

// The umockdev description of one device (and, with parents, its hub).
std::string deviceDescription(const EmulatedDevice& device, bool withParents);

class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Adds the device with handler answering its node; false with a message
    // on stderr when umockdev refuses.
    bool plug(const EmulatedDevice& device, UMockdevIoctlBase* handler);
    // The node and sysfs entry vanish (tell the chip first).
    void unplug(const EmulatedDevice& device);
    // True when the program runs with umockdev's preload library (asked
    // once a test bed exists).
    static bool active();

private:
    UMockdevTestbed* bed_;
    bool parentsAdded_ = false;
};

}  // namespace ktx::usbemu
