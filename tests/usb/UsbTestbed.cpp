#include "usb/UsbTestbed.h"

#include <umockdev.h>

#include <cstdio>
#include <cstdlib>

namespace ktx::usbemu {

namespace {

constexpr const char* kHubPath = "/devices/pci0000:00/0000:00:14.0/usb1";

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// Device and configuration descriptors of an FT232R (bcdDevice 6.00): one
// vendor-specific interface with bulk IN 0x81 and bulk OUT 0x02 of 64 bytes.
std::string descriptorsHex(const EmulatedDevice& device)
{
    const auto le16 = [](uint16_t v) { return hex(v & 0xFF, 2) + hex(v >> 8, 2); };
    return "1201000200000008" + le16(device.vendor) + le16(device.product) + "0006" + "0102" +
           (device.serialString ? "03" : "00") + "01" +
           "09022000010100A02D" "0904000002FFFFFF02" "07058102400000" "07050202400000";
}

}  // namespace

std::string EmulatedDevice::node() const
{
    return "/dev/bus/usb/001/" + std::string(address < 10 ? "00" : address < 100 ? "0" : "") + std::to_string(address);
}

std::string EmulatedDevice::sysfsPath() const
{
    return std::string(kHubPath) + "/1-" + std::to_string(port);
}

std::string deviceDescription(const EmulatedDevice& device, bool withParents)
{
    const std::string address = std::to_string(device.address);
    std::string text = "P: " + device.sysfsPath() + "\n" +
                       "N: " + device.node().substr(5) + "\n"
                       "E: DEVNAME=" + device.node() + "\n"
                       "E: DEVTYPE=usb_device\n"
                       "E: DRIVER=usb\n"
                       "E: ID_VENDOR_ID=" + hex(device.vendor, 4) + "\n"
                       "E: ID_MODEL_ID=" + hex(device.product, 4) + "\n"
                       "E: SUBSYSTEM=usb\n"
                       "E: BUSNUM=001\n"
                       "E: DEVNUM=" + device.node().substr(device.node().size() - 3) + "\n"
                       "E: MAJOR=189\n"
                       "E: MINOR=" + std::to_string(device.address - 1) + "\n"
                       "A: busnum=1\n"
                       "A: devnum=" + address + "\n"
                       "A: idVendor=" + hex(device.vendor, 4) + "\n"
                       "A: idProduct=" + hex(device.product, 4) + "\n"
                       "A: bConfigurationValue=" + (device.configuration ? std::to_string(device.configuration) : "") + "\n"
                       "A: bNumConfigurations=1\n"
                       "A: speed=12\n"
                       "H: descriptors=" + descriptorsHex(device) + "\n";
    if (withParents) {
        text += std::string("\nP: ") + kHubPath + "\n"
                "N: bus/usb/001/001\n"
                "E: DEVNAME=/dev/bus/usb/001/001\n"
                "E: DEVTYPE=usb_device\n"
                "E: DRIVER=usb\n"
                "E: SUBSYSTEM=usb\n"
                "E: BUSNUM=001\n"
                "E: DEVNUM=001\n"
                "A: busnum=1\n"
                "A: devnum=1\n"
                "A: idVendor=1d6b\n"
                "A: idProduct=0002\n"
                "A: bConfigurationValue=1\n"
                "A: speed=480\n"
                "\nP: /devices/pci0000:00/0000:00:14.0\n"
                "E: SUBSYSTEM=pci\n"
                "E: DRIVER=xhci_hcd\n";
    }
    return text;
}

UsbTestbed::UsbTestbed() : bed_(umockdev_testbed_new())
{
    // Programs in the test bed (and those it starts) beep into ALSA's null
    // device: ALSA's card probe fails 64 opens of /dev paths, and umockdev's
    // preload library keeps an entry for each failed one in a table of 50.
    setenv("ALSA_CONFIG_PATH", KTX_TESTBED_ALSA_CONFIG, 1);
}

UsbTestbed::~UsbTestbed()
{
    g_object_unref(bed_);
}

bool UsbTestbed::active()
{
    return umockdev_in_mock_environment();
}

bool UsbTestbed::plug(const EmulatedDevice& device, UMockdevIoctlBase* handler)
{
    GError* error = nullptr;
    // A node used before (an unplugged device) gets its new handler.
    umockdev_testbed_detach_ioctl(bed_, device.node().c_str(), nullptr);
    // The node answers before the device is announced, so an early open
    // already meets the handler.
    if (!umockdev_testbed_attach_ioctl(bed_, device.node().c_str(), handler, &error)) {
        std::fprintf(stderr, "umockdev: %s: %s\n", device.node().c_str(), error ? error->message : "attach failed");
        g_clear_error(&error);
        return false;
    }
    if (!umockdev_testbed_add_from_string(bed_, deviceDescription(device, !parentsAdded_).c_str(), &error)) {
        std::fprintf(stderr, "umockdev: %s\n", error ? error->message : "cannot add the device");
        g_clear_error(&error);
        return false;
    }
    parentsAdded_ = true;
    return true;
}

void UsbTestbed::unplug(const EmulatedDevice& device)
{
    const std::string path = "/sys" + device.sysfsPath();
    // The handler stays attached: a program that still holds the node gets
    // its ENODEV answers, as from the kernel.
    umockdev_testbed_remove_device(bed_, path.c_str());
}

}  // namespace ktx::usbemu
