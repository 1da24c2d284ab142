#include "link/LibFtdiDriver.h"

#include <libusb.h>
#include <libftdi1/ftdi.h>

#include <algorithm>
#include <climits>
#include <tuple>

namespace ktx {

namespace {

// Pause between two empty reads: short against a 1 ms read timeout, long
// enough not to spin a core while the chip has nothing to say.
constexpr int64_t kEmptyReadPauseUs = 250;

// USB string descriptors hold at most 126 characters.
constexpr int kUsbStringBuffer = 256;

struct FtdiFree {
    void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};
using FtdiPtr = std::unique_ptr<ftdi_context, FtdiFree>;

uint32_t boundedTimeout(uint32_t ms)
{
    return ms == 0 ? LibFtdiDriver::kNoTimeoutBoundMs : ms;
}

int transferTimeout(uint32_t ms)
{
    return static_cast<int>(std::max(boundedTimeout(ms), LibFtdiDriver::kMinTransferTimeoutMs));
}

// One string of a listed device; a device that can't be opened or has no such
// string reports false.
bool readString(ftdi_context* ftdi, libusb_device* dev, bool serial, std::string& text)
{
    char buffer[kUsbStringBuffer] = {};
    const int rc = serial ? ftdi_usb_get_strings(ftdi, dev, nullptr, 0, nullptr, 0, buffer, sizeof buffer)
                          : ftdi_usb_get_strings(ftdi, dev, nullptr, 0, buffer, sizeof buffer, nullptr, 0);
    if (rc < 0)
        return false;
    buffer[sizeof buffer - 1] = '\0';
    text = buffer;
    return true;
}

}  // namespace

LibFtdiDriver::LibFtdiDriver(TimeSource& time) : time_(time) {}

uint32_t LibFtdiDriver::baudForDivisor(uint16_t divisor)
{
    const uint32_t whole = divisor & 0x3FFFu;
    if (whole == 0)
        return 3000000;
    if (whole == 1)
        return 2000000;
    static constexpr uint32_t kEighths[4] = {0, 4, 2, 1};  // 0, 1/2, 1/4, 1/8
    const uint32_t eighths = whole * 8 + kEighths[divisor >> 14];
    return static_cast<uint32_t>((uint64_t(3000000) * 8 + eighths / 2) / eighths);
}

LibFtdiDriver::~LibFtdiDriver()
{
    releaseAll();
}

void LibFtdiDriver::releaseAll()
{
    for (auto& [id, open] : opened_) {
        ftdi_usb_close(open->ftdi);
        ftdi_free(open->ftdi);
    }
    opened_.clear();
}

bool LibFtdiDriver::refreshList()
{
    devices_.clear();
    // A machine or container without USB fails here: no devices, no error.
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi)
        return false;
    ftdi_device_list* list = nullptr;
    // Vendor and product 0: every FTDI product libftdi knows by default.
    if (ftdi_usb_find_all(ftdi.get(), &list, 0, 0) < 0) {
        ftdi_list_free(&list);
        return false;
    }
    for (ftdi_device_list* item = list; item; item = item->next) {
        Listed device;
        device.bus = libusb_get_bus_number(item->dev);
        device.address = libusb_get_device_address(item->dev);
        uint8_t ports[8] = {};
        const int depth = libusb_get_port_numbers(item->dev, ports, sizeof ports);
        if (depth > 0)
            device.ports.assign(ports, ports + depth);
        device.descriptionRead = readString(ftdi.get(), item->dev, false, device.description);
        device.serialRead = readString(ftdi.get(), item->dev, true, device.serial);
        devices_.push_back(std::move(device));
    }
    ftdi_list_free(&list);
    // libusb lists in discovery order; sort by where the device is plugged so
    // the same set of devices gives the same indexes.
    std::sort(devices_.begin(), devices_.end(), [](const Listed& a, const Listed& b) {
        return std::tie(a.bus, a.ports, a.address) < std::tie(b.bus, b.ports, b.address);
    });
    return true;
}

FT_STATUS LibFtdiDriver::deviceCount(uint32_t& count)
{
    refreshList();
    count = static_cast<uint32_t>(devices_.size());
    return FT_OK;
}

FT_STATUS LibFtdiDriver::deviceString(uint32_t index, uint32_t which, std::string& text)
{
    if (index >= devices_.size())
        return FT_DEVICE_NOT_FOUND;
    const Listed& device = devices_[index];
    const bool serial = which == FT_OPEN_BY_SERIAL_NUMBER;
    if (!(serial ? device.serialRead : device.descriptionRead))
        return FT_DEVICE_NOT_OPENED;
    text = serial ? device.serial : device.description;
    return FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    if (!handle)
        return FT_INVALID_PARAMETER;
    if (deviceNumber < 0)
        return FT_DEVICE_NOT_FOUND;
    const auto index = static_cast<size_t>(deviceNumber);
    if (devices_.empty())
        refreshList();
    if (index >= devices_.size())
        return FT_DEVICE_NOT_FOUND;
    const FT_STATUS status = openListed(devices_[index], handle);
    if (status != FT_DEVICE_NOT_FOUND)
        return status;
    // Unplugged or replugged since the list was taken (its address changes):
    // like D2XX, open whatever device has this index now.
    refreshList();
    if (index >= devices_.size())
        return FT_DEVICE_NOT_FOUND;
    return openListed(devices_[index], handle);
}

FT_STATUS LibFtdiDriver::openListed(const Listed& device, FT_HANDLE* handle)
{
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi)
        return FT_DEVICE_NOT_OPENED;
    // Claims the interface, detaching the kernel's ftdi_sio from it.
    const int rc = ftdi_usb_open_bus_addr(ftdi.get(), device.bus, device.address);
    // -3: nothing at that address any more (or, rarely, it could not be
    // configured); either way a fresh list is worth one more try.
    if (rc == -3)
        return FT_DEVICE_NOT_FOUND;
    if (rc < 0)
        return FT_DEVICE_NOT_OPENED;
    auto open = std::make_unique<Opened>();
    open->ftdi = ftdi.release();
    open->ftdi->usb_read_timeout = transferTimeout(open->readTimeoutMs);
    open->ftdi->usb_write_timeout = transferTimeout(open->writeTimeoutMs);
    const uintptr_t id = nextHandle_++;
    opened_.emplace(id, std::move(open));
    *handle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

LibFtdiDriver::Opened* LibFtdiDriver::find(FT_HANDLE handle)
{
    const auto it = opened_.find(reinterpret_cast<uintptr_t>(handle));
    return it == opened_.end() ? nullptr : it->second.get();
}

FT_STATUS LibFtdiDriver::FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (baudRate == 0 || baudRate > uint32_t(INT_MAX))
        return FT_INVALID_BAUD_RATE;
    const int rc = ftdi_set_baudrate(open->ftdi, static_cast<int>(baudRate));
    if (rc == -1)
        return FT_INVALID_BAUD_RATE;
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_SetDivisor(FT_HANDLE handle, uint16_t divisor)
{
    return FT_SetBaudRate(handle, baudForDivisor(divisor));
}

FT_STATUS LibFtdiDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    open->readTimeoutMs = boundedTimeout(readTimeoutMs);
    open->writeTimeoutMs = boundedTimeout(writeTimeoutMs);
    open->ftdi->usb_read_timeout = transferTimeout(readTimeoutMs);
    open->ftdi->usb_write_timeout = transferTimeout(writeTimeoutMs);
    return FT_OK;
}

FT_STATUS LibFtdiDriver::FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                                   uint8_t parity)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    // D2XX and libftdi number word lengths, stop bits and parities alike,
    // except that D2XX has no 1.5 stop bits.
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FT_INVALID_PARAMETER;
    const int rc = ftdi_set_line_property(open->ftdi, static_cast<ftdi_bits_type>(wordLength),
                                          static_cast<ftdi_stopbits_type>(stopBits),
                                          static_cast<ftdi_parity_type>(parity));
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    int rc = 0;
    // D2XX's flow control codes are the chip's own (0, 0x100, 0x200, 0x400).
    switch (flowControl) {
    case SIO_DISABLE_FLOW_CTRL:
    case SIO_RTS_CTS_HS:
    case SIO_DTR_DSR_HS:
        rc = ftdi_setflowctrl(open->ftdi, flowControl);
        break;
    case SIO_XON_XOFF_HS:
        rc = ftdi_setflowctrl_xonxoff(open->ftdi, xon, xoff);
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    const int rc = ftdi_set_latency_timer(open->ftdi, std::max<uint8_t>(latencyMs, 1));
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Purge(FT_HANDLE handle, uint32_t mask)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    const bool rx = mask & FT_PURGE_RX;
    const bool tx = mask & FT_PURGE_TX;
    int rc = 0;
    // tciflush also drops what libftdi holds back from an earlier read.
    if (rx && tx)
        rc = ftdi_tcioflush(open->ftdi);
    else if (rx)
        rc = ftdi_tciflush(open->ftdi);
    else if (tx)
        rc = ftdi_tcoflush(open->ftdi);
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (written)
        *written = 0;
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (!written || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    uint32_t total = 0;
    while (total < count) {
        const int chunk = static_cast<int>(std::min<uint32_t>(count - total, INT_MAX));
        // Each USB transfer inside is bounded by the write timeout.
        const int rc = ftdi_write_data(open->ftdi, bytes + total, chunk);
        if (rc < 0) {
            *written = total;
            return FT_IO_ERROR;
        }
        if (rc == 0)
            break;
        total += static_cast<uint32_t>(rc);
    }
    *written = total;
    return FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (received)
        *received = 0;
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (!received || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    auto* bytes = static_cast<unsigned char*>(buffer);
    const int64_t deadlineUs = time_.monotonicUs() + int64_t(open->readTimeoutMs) * 1000;
    uint32_t total = 0;
    FT_STATUS status = FT_OK;
    // ftdi_read_data gives what has arrived, often nothing; D2XX waits for
    // count bytes or the timeout, so poll until one of them.
    while (total < count) {
        const int chunk = static_cast<int>(std::min<uint32_t>(count - total, INT_MAX));
        const int rc = ftdi_read_data(open->ftdi, bytes + total, chunk);
        if (rc < 0) {
            status = FT_IO_ERROR;
            break;
        }
        total += static_cast<uint32_t>(rc);
        const int64_t nowUs = time_.monotonicUs();
        if (total >= count || nowUs >= deadlineUs)
            break;
        if (rc == 0)
            time_.sleepUs(static_cast<uint64_t>(std::min(kEmptyReadPauseUs, deadlineUs - nowUs)));
    }
    *received = total;
    return status;
}

FT_STATUS LibFtdiDriver::FT_ResetDevice(FT_HANDLE handle)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    // The chip's own reset (SIO_RESET), not a USB port reset: the device stays
    // enumerated.
    return ftdi_usb_reset(open->ftdi) < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Close(FT_HANDLE handle)
{
    const auto it = opened_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == opened_.end())
        return FT_INVALID_HANDLE;
    const int rc = ftdi_usb_close(it->second->ftdi);
    ftdi_free(it->second->ftdi);
    opened_.erase(it);
    return rc < 0 ? FT_IO_ERROR : FT_OK;
}

}  // namespace ktx
