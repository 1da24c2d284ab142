#include "link/LibFtdiDriver.h"

#include <libusb.h>
#include <libftdi1/ftdi.h>

#include <algorithm>
#include <climits>
#include <tuple>

#include "base/TextCodec.h"

namespace ktx {

namespace {

// Pause between two empty reads: short against a 1 ms read timeout, long
// enough not to spin a core while the chip has nothing to say.
constexpr int64_t kEmptyReadPauseUs = 250;

// A USB string descriptor: two header bytes and at most 126 UTF-16 units.
constexpr int kUsbStringBuffer = 255;
constexpr uint16_t kEnglishUs = 0x0409;

// Bulk IN packets of the full-speed chips, each led by two status bytes.
constexpr unsigned kPacketBytes = 64;
// What one read transfer asks for: small, so that a stream of full packets
// fills it well inside the transfer's timeout.
constexpr unsigned kReadChunkBytes = 512;
// Slack on top of what a transfer needs in theory (USB frames, scheduling).
constexpr uint32_t kTransferMarginMs = 50;
// The chip's latency timer after a reset, and libftdi's baud rate on open.
constexpr uint8_t kChipDefaultLatencyMs = 16;
constexpr uint32_t kOpenBaudRate = 9600;

struct FtdiFree {
    void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};
using FtdiPtr = std::unique_ptr<ftdi_context, FtdiFree>;

struct ListFree {
    void operator()(ftdi_device_list* list) const { ftdi_list_free(&list); }
};
using ListPtr = std::unique_ptr<ftdi_device_list, ListFree>;

uint32_t boundedTimeout(uint32_t ms)
{
    return ms == 0 ? LibFtdiDriver::kNoTimeoutBoundMs : ms;
}

// UTF-16LE (as string descriptors hold it) to UTF-8; a unit outside the
// basic plane, which no Windows-1251 text has, becomes '?'.
std::string utf8FromUtf16le(const unsigned char* units, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const unsigned code = units[2 * i] | unsigned(units[2 * i + 1]) << 8;
        if (code >= 0xD800 && code <= 0xDFFF) {
            text += '?';
        } else if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | code >> 6);
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | code >> 12);
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

// One string of an open device. String index 0 means the device has no
// such string: an empty one.
bool readUsbString(libusb_device_handle* usb, uint8_t index, uint16_t language, std::string& text)
{
    if (index == 0) {
        text.clear();
        return true;
    }
    unsigned char buffer[kUsbStringBuffer] = {};
    const int length = libusb_get_string_descriptor(usb, index, language, buffer, sizeof buffer);
    return length > 0 &&
           LibFtdiDriver::textOfStringDescriptor(buffer, static_cast<size_t>(length), text);
}

FtFailure usbFailure(const char* call, int rc)
{
    return {rc == LIBUSB_ERROR_ACCESS, std::string(call) + ": " + libusb_strerror(static_cast<libusb_error>(rc))};
}

// Description and serial of a listed device; a device that can't be opened
// leaves both unread and says why.
void readStrings(libusb_device* dev, std::string& description, bool& descriptionRead, std::string& serial,
                 bool& serialRead, FtFailure& failure)
{
    libusb_device_descriptor descriptor{};
    libusb_device_handle* usb = nullptr;
    if (const int rc = libusb_get_device_descriptor(dev, &descriptor); rc < 0) {
        failure = usbFailure("libusb_get_device_descriptor", rc);
        return;
    }
    if (const int rc = libusb_open(dev, &usb); rc < 0) {
        failure = usbFailure("libusb_open", rc);
        return;
    }
    unsigned char languages[kUsbStringBuffer] = {};
    const int length = libusb_get_string_descriptor(usb, 0, 0, languages, sizeof languages);
    const uint16_t language = length >= 4 ? uint16_t(languages[2] | languages[3] << 8) : kEnglishUs;
    descriptionRead = readUsbString(usb, descriptor.iProduct, language, description);
    serialRead = readUsbString(usb, descriptor.iSerialNumber, language, serial);
    libusb_close(usb);
}

// libftdi keeps libusb's reason to itself; a second libusb_open tells
// whether the system refused access.
FtFailure openFailure(ftdi_context* ftdi, libusb_device* dev)
{
    const std::string libftdiText = std::string("ftdi_usb_open_dev: ") + ftdi_get_error_string(ftdi);
    libusb_device_handle* probe = nullptr;
    const int rc = libusb_open(dev, &probe);
    if (rc == 0) {
        libusb_close(probe);
        return {false, libftdiText};
    }
    FtFailure failure = usbFailure("libusb_open", rc);
    failure.detail = libftdiText + "; " + failure.detail;
    return failure;
}

std::vector<uint8_t> portPath(libusb_device* dev)
{
    uint8_t ports[8] = {};
    const int depth = libusb_get_port_numbers(dev, ports, sizeof ports);
    return depth > 0 ? std::vector<uint8_t>(ports, ports + depth) : std::vector<uint8_t>{};
}

}  // namespace

LibFtdiDriver::LibFtdiDriver(TimeSource& time) : time_(time) {}

bool LibFtdiDriver::textOfStringDescriptor(const unsigned char* descriptor, size_t length, std::string& text)
{
    if (length < 2 || descriptor[1] != LIBUSB_DT_STRING)
        return false;
    // The descriptor's own length counts, if the device sent that much.
    const size_t used = std::min<size_t>(length, descriptor[0]);
    const size_t units = used >= 2 ? (used - 2) / 2 : 0;
    text = cp1251FromUtf8(utf8FromUtf16le(descriptor + 2, units));
    return true;
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
    failure_ = {};
    // A machine or container without USB fails here: no devices, no error.
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi)
        return false;
    ftdi_device_list* found = nullptr;
    // Vendor and product 0: every FTDI product libftdi knows by default.
    const int rc = ftdi_usb_find_all(ftdi.get(), &found, 0, 0);
    ListPtr list(found);
    if (rc < 0) {
        failure_ = {false, std::string("ftdi_usb_find_all: ") + ftdi_get_error_string(ftdi.get())};
        return false;
    }
    for (ftdi_device_list* item = list.get(); item; item = item->next) {
        Listed device;
        device.bus = libusb_get_bus_number(item->dev);
        device.address = libusb_get_device_address(item->dev);
        device.ports = portPath(item->dev);
        readStrings(item->dev, device.description, device.descriptionRead, device.serial, device.serialRead,
                    device.openFailure);
        devices_.push_back(std::move(device));
    }
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
    if (!(serial ? device.serialRead : device.descriptionRead)) {
        failure_ = device.openFailure;
        return FT_DEVICE_NOT_OPENED;
    }
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
    // A device plugged in since the list was taken may have this index.
    if (index >= devices_.size())
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
    // Found anew where it is plugged, among FTDI products only: after a
    // replug the listed address may belong to another device, which must not
    // be detached from its driver nor sent FTDI requests.
    ftdi_device_list* found = nullptr;
    const int listed = ftdi_usb_find_all(ftdi.get(), &found, 0, 0);
    ListPtr list(found);
    if (listed < 0) {
        failure_ = {false, std::string("ftdi_usb_find_all: ") + ftdi_get_error_string(ftdi.get())};
        return FT_DEVICE_NOT_FOUND;
    }
    libusb_device* match = nullptr;
    for (ftdi_device_list* item = list.get(); item && !match; item = item->next) {
        const bool samePlace = libusb_get_bus_number(item->dev) == device.bus &&
                               (device.ports.empty() ? libusb_get_device_address(item->dev) == device.address
                                                     : portPath(item->dev) == device.ports);
        if (samePlace)
            match = item->dev;
    }
    if (!match) {
        failure_ = {};
        return FT_DEVICE_NOT_FOUND;
    }
    // Claims the interface, detaching the kernel's ftdi_sio from it; the
    // driver is given back when the interface is released at close, so the
    // user's /dev/ttyUSB of a device that was no tracker comes back.
    ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    // Any failure here is a device that is there but can't be used.
    if (ftdi_usb_open_dev(ftdi.get(), match) < 0) {
        failure_ = openFailure(ftdi.get(), match);
        return FT_DEVICE_NOT_OPENED;
    }
    failure_ = {};
    ftdi_read_data_set_chunksize(ftdi.get(), kReadChunkBytes);
    auto open = std::make_unique<Opened>();
    open->ftdi = ftdi.release();
    open->latencyMs = kChipDefaultLatencyMs;
    open->baudRate = kOpenBaudRate;
    updateReadTransferTimeout(*open);
    const uintptr_t id = nextHandle_++;
    opened_.emplace(id, std::move(open));
    *handle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

// A read transfer ends with the first short packet, which the chip sends at
// the latest when its latency timer runs out; only a stream of full packets
// keeps it going, up to the chunk's worth of packets. It must never time
// out with bytes in flight: libftdi throws those away.
void LibFtdiDriver::updateReadTransferTimeout(Opened& open)
{
    const uint32_t packets = kReadChunkBytes / kPacketBytes + 1;
    open.ftdi->usb_read_timeout =
        static_cast<int>(std::max(kMinTransferTimeoutMs, packets * open.latencyMs + kTransferMarginMs));
}

// A write transfer lasts until all but the chip's small transmit buffer has
// left at the line's speed (ten bits a byte).
int LibFtdiDriver::writeTransferTimeout(const Opened& open, uint32_t bytes)
{
    const uint64_t lineMs = uint64_t(bytes) * 10 * 1000 / std::max<uint32_t>(open.baudRate, 1);
    return static_cast<int>(
        std::min<uint64_t>(std::max<uint64_t>(open.writeTimeoutMs, lineMs + kTransferMarginMs), INT_MAX));
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
    if (rc < 0)
        return FT_IO_ERROR;
    open->baudRate = static_cast<uint32_t>(std::max(open->ftdi->baudrate, 1));
    return FT_OK;
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
    // Read transfers are timed by the chip's latency, FT_Read keeps its own
    // deadline; writes are timed per transfer from this and the baud rate.
    open->readTimeoutMs = boundedTimeout(readTimeoutMs);
    open->writeTimeoutMs = boundedTimeout(writeTimeoutMs);
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
    const uint8_t latency = std::max<uint8_t>(latencyMs, 1);
    if (ftdi_set_latency_timer(open->ftdi, latency) < 0)
        return FT_IO_ERROR;
    open->latencyMs = latency;
    updateReadTransferTimeout(*open);
    return FT_OK;
}

FT_STATUS LibFtdiDriver::FT_Purge(FT_HANDLE handle, uint32_t mask)
{
    Opened* open = find(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    const bool rx = mask & FT_PURGE_RX;
    const bool tx = mask & FT_PURGE_TX;
    bool failed = false;
    // Both sides are tried even when one fails, and what libftdi holds back
    // from an earlier read is dropped in any case: a stale reply must not
    // come back after a purge.
    if (rx) {
        failed |= ftdi_tciflush(open->ftdi) < 0;
        open->ftdi->readbuffer_offset = 0;
        open->ftdi->readbuffer_remaining = 0;
    }
    if (tx)
        failed |= ftdi_tcoflush(open->ftdi) < 0;
    return failed ? FT_IO_ERROR : FT_OK;
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
    if (!open->ftdi->usb_dev)
        return FT_IO_ERROR;
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(buffer));
    const uint32_t chunkMax = std::max(open->ftdi->writebuffer_chunksize, kPacketBytes);
    uint32_t total = 0;
    // One transfer per chunk, each timed for the line's speed, so that a
    // chunk cut short still counts what the chip took (ftdi_write_data
    // would report an error and nothing written).
    while (total < count) {
        const uint32_t chunk = std::min(count - total, chunkMax);
        int sent = 0;
        const int rc = libusb_bulk_transfer(open->ftdi->usb_dev, static_cast<unsigned char>(open->ftdi->in_ep),
                                            bytes + total, static_cast<int>(chunk), &sent,
                                            static_cast<unsigned>(writeTransferTimeout(*open, chunk)));
        total += static_cast<uint32_t>(std::clamp<int>(sent, 0, static_cast<int>(chunk)));
        if (rc < 0) {
            *written = total;
            return FT_IO_ERROR;
        }
        if (sent == 0)
            break;
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
        // At most what libftdi already holds, or one byte, which costs one
        // transfer: so no call runs past the deadline by more than a
        // transfer, and none fails with bytes it had already copied.
        const uint32_t held = open->ftdi->readbuffer_remaining;
        const int ask = static_cast<int>(held > 0 ? std::min(count - total, held) : 1);
        const int rc = ftdi_read_data(open->ftdi, bytes + total, ask);
        if (rc < 0) {
            status = FT_IO_ERROR;
            break;
        }
        total += static_cast<uint32_t>(rc);
        // Bytes libftdi holds have arrived already: handed over whatever the
        // clock says.
        if (total >= count)
            break;
        if (open->ftdi->readbuffer_remaining > 0)
            continue;
        const int64_t nowUs = time_.monotonicUs();
        if (nowUs >= deadlineUs)
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
