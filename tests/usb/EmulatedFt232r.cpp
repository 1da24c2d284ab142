#include "usb/EmulatedFt232r.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "sim/SimRandom.h"

namespace ktx::usbemu {

namespace {

constexpr size_t kPacketBytes = 64;
constexpr size_t kStatusBytes = 2;
constexpr size_t kPacketData = kPacketBytes - kStatusBytes;
// Modem status (CTS, DSR) and line status (transmitter empty), as an idle
// FT232R reports them.
constexpr unsigned char kModemStatus[kStatusBytes] = {0x31, 0x60};
constexpr size_t kTransmitFifo = 128;
constexpr size_t kSetupBytes = 8;
constexpr uint8_t kBulkIn = 0x81;
constexpr uint8_t kBulkOut = 0x02;
constexpr uint32_t kCapabilities = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
// libftdi's names: SIO_TCIFLUSH drops what waits for the host, SIO_TCOFLUSH
// what waits for the line.
constexpr uint16_t kPurgeToHost = 2;
constexpr uint16_t kPurgeToLine = 1;

usbdevfs_urb* urbOf(UMockdevIoctlData* data)
{
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// A string descriptor: length, type 3, UTF-16LE text (BMP only, as USB has).
std::vector<unsigned char> stringDescriptor(const std::string& utf8)
{
    std::vector<unsigned char> out{0, 3};
    for (size_t i = 0; i < utf8.size() && out.size() + 2 <= 254;) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = c;
        size_t length = 1;
        if (c >= 0xF0) {
            code = '?';
            length = 4;
        } else if (c >= 0xE0 && i + 2 < utf8.size()) {
            code = (c & 0x0Fu) << 12 | (utf8[i + 1] & 0x3Fu) << 6 | (utf8[i + 2] & 0x3Fu);
            length = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            code = (c & 0x1Fu) << 6 | (utf8[i + 1] & 0x3Fu);
            length = 2;
        }
        out.push_back(static_cast<unsigned char>(code & 0xFF));
        out.push_back(static_cast<unsigned char>(code >> 8));
        i += length;
    }
    out[0] = static_cast<unsigned char>(out.size());
    return out;
}

// The scenario's reply faults, drawn from the chip's own random channels.
enum : int { kSilentChannel = 200, kShortChannel, kGarbageChannel, kGarbageBytes };

// The reply as the faults of the scenario leave it; empty when dropped.
std::string withFaults(std::string reply, const sim::Scenario& scenario, uint64_t tick)
{
    const sim::Faults& faults = scenario.faults;
    if (sim::unitAt(scenario.seed, kSilentChannel, tick) < faults.silent)
        return {};
    if (sim::unitAt(scenario.seed, kShortChannel, tick) < faults.shortReplies)
        reply.resize(reply.size() / 2);
    if (sim::unitAt(scenario.seed, kGarbageChannel, tick) < faults.garbage) {
        for (size_t i = 0; i < reply.size(); ++i) {
            const char c = static_cast<char>(sim::hashOf(scenario.seed, kGarbageBytes, (tick << 16) + i) & 0xFF);
            reply[i] = c == ';' || c == '\n' ? '#' : c;
        }
    }
    return reply;
}

uint32_t baudFromRequest(uint16_t value, uint16_t index)
{
    const uint32_t whole = value & 0x3FFFu;
    const uint32_t code = (value >> 14) | ((index & 1u) << 2);
    static constexpr uint32_t kEighths[8] = {0, 4, 2, 1, 3, 5, 6, 7};
    if (whole == 0 && code == 0)
        return 3000000;
    if (whole == 1 && code == 0)
        return 2000000;
    return static_cast<uint32_t>(uint64_t(3000000) * 8 / (whole * 8 + kEighths[code]));
}

class ReplyCollector : public sim::ReplySink {
public:
    void onReply(std::string_view reply, int64_t delayMs) override
    {
        replies.emplace_back(std::string(reply), delayMs);
    }
    std::vector<std::pair<std::string, int64_t>> replies;
};

}  // namespace

EmulatedFt232r::EmulatedFt232r(TimeSource& time, const sim::Scenario& scenario)
    : time_(time), scenario_(scenario), model_(scenario_), startUs_(time.monotonicUs()),
      description_(scenario.description), serial_(scenario.serial)
{
    lastPacketUs_ = startUs_;
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedFt232r::onIoctl), this);
}

EmulatedFt232r::~EmulatedFt232r()
{
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
    std::lock_guard lock(mutex_);
    for (auto* queue : {&pending_, &reapable_})
        for (Urb& urb : *queue)
            g_object_unref(urb.data);
}

ChipState EmulatedFt232r::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

std::string EmulatedFt232r::bytesFromHost() const
{
    std::lock_guard lock(mutex_);
    return fromHost_;
}

void EmulatedFt232r::sendToHost(std::string_view bytes, int64_t afterUs, int64_t spacingUs)
{
    std::lock_guard lock(mutex_);
    int64_t atUs = time_.monotonicUs() + afterUs;
    for (char c : bytes) {
        toHost_.emplace_back(c, atUs);
        atUs += spacingUs;
    }
}

void EmulatedFt232r::failNextRequest(uint8_t request, int value)
{
    std::lock_guard lock(mutex_);
    failing_.emplace(request, value);
}

void EmulatedFt232r::refuseConfiguration()
{
    std::lock_guard lock(mutex_);
    configurable_ = false;
}

void EmulatedFt232r::stallTransmitAfter(size_t bytes)
{
    std::lock_guard lock(mutex_);
    transmitBudget_ = bytes;
}

void EmulatedFt232r::unplug()
{
    std::lock_guard lock(mutex_);
    unplugged_ = true;
    while (!pending_.empty()) {
        Urb urb = pending_.front();
        pending_.pop_front();
        urbOf(urb.data)->status = -ESHUTDOWN;
        reapable_.push_back(urb);
    }
}

void EmulatedFt232r::setStrings(std::string description, std::string serial)
{
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
    serial_ = std::move(serial);
}

int64_t EmulatedFt232r::byteTimeUs() const
{
    // Start bit, eight data bits, stop bit.
    return std::max<int64_t>(1, 10'000'000 / std::max<uint32_t>(state_.baudRate, 1));
}

int EmulatedFt232r::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, EmulatedFt232r* self)
{
    std::lock_guard lock(self->mutex_);
    return self->handle(client);
}

bool EmulatedFt232r::handle(UMockdevIoctlClient* client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const int64_t nowUs = time_.monotonicUs();
    if (unplugged_ && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    const auto resolved = [&](size_t size) { return umockdev_ioctl_data_resolve(arg, 0, size, nullptr); };
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = resolved(sizeof(uint32_t));
        std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
        g_object_unref(caps);
        break;
    }
    case USBDEVFS_CLAIMINTERFACE:
        state_.claimed = true;
        ++state_.claims;
        break;
    case USBDEVFS_RELEASEINTERFACE:
        state_.claimed = false;
        break;
    case USBDEVFS_GETDRIVER: {
        if (!state_.kernelDriverBound) {
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return true;
        }
        UMockdevIoctlData* query = resolved(sizeof(usbdevfs_getdriver));
        auto* driver = reinterpret_cast<usbdevfs_getdriver*>(query->data);
        std::strncpy(driver->driver, "ftdi_sio", sizeof driver->driver);
        g_object_unref(query);
        break;
    }
    case USBDEVFS_IOCTL: {
        UMockdevIoctlData* call = resolved(sizeof(usbdevfs_ioctl));
        const int code = reinterpret_cast<usbdevfs_ioctl*>(call->data)->ioctl_code;
        g_object_unref(call);
        if (code == int(USBDEVFS_DISCONNECT)) {
            state_.kernelDriverBound = false;
            ++state_.detaches;
        } else if (code == int(USBDEVFS_CONNECT)) {
            state_.kernelDriverBound = true;
        } else {
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return true;
        }
        break;
    }
    case USBDEVFS_DISCONNECT_CLAIM:
        state_.detaches += state_.kernelDriverBound ? 1 : 0;
        state_.kernelDriverBound = false;
        state_.claimed = true;
        ++state_.claims;
        break;
    case USBDEVFS_SETCONFIGURATION:
        if (!configurable_) {
            umockdev_ioctl_client_complete(client, -1, EBUSY);
            return true;
        }
        break;
    case USBDEVFS_RESET:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        break;
    case USBDEVFS_SUBMITURB:
        submit(client, arg);
        return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        advance(nowUs);
        reap(client, arg);
        return true;
    case USBDEVFS_DISCARDURB:
        advance(nowUs);
        discard(client, *reinterpret_cast<unsigned long*>(arg->data));
        return true;
    default:
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
}

void EmulatedFt232r::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    usbdevfs_urb* urb = urbOf(data);
    // Resolving the buffer makes it part of the URB's data: what is written
    // into it goes back to the program when the URB is reaped.
    if (urb->buffer_length > 0) {
        UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
            data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
        if (buffer)
            g_object_unref(buffer);  // the parent keeps its own reference
    }
    urb->actual_length = 0;
    urb->status = 0;
    const int64_t nowUs = time_.monotonicUs();
    Urb entry{data, nowUs, 0, 0, false};
    const bool isControl = urb->type == USBDEVFS_URB_TYPE_CONTROL;
    const bool bulk = urb->type == USBDEVFS_URB_TYPE_BULK;
    if (!(isControl || (bulk && (urb->endpoint == kBulkIn || urb->endpoint == kBulkOut)))) {
        g_object_unref(data);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    if (isControl) {
        control(entry, nowUs);
        reapable_.push_back(entry);
    } else if (urb->endpoint == kBulkOut) {
        ++state_.bulkOutTransfers;
        bulkOut(entry, nowUs);
        pending_.push_back(entry);
    } else {
        ++state_.bulkInTransfers;
        pending_.push_back(entry);
    }
}

void EmulatedFt232r::control(Urb& entry, int64_t nowUs)
{
    (void)nowUs;
    usbdevfs_urb* urb = urbOf(entry.data);
    auto* buffer = static_cast<unsigned char*>(urb->buffer);
    if (urb->buffer_length < int(kSetupBytes)) {
        urb->status = -EPIPE;
        return;
    }
    const uint8_t requestType = buffer[0];
    const uint8_t request = buffer[1];
    const uint16_t value = static_cast<uint16_t>(buffer[2] | buffer[3] << 8);
    const uint16_t index = static_cast<uint16_t>(buffer[4] | buffer[5] << 8);
    const uint16_t length = static_cast<uint16_t>(
        std::min<int>(buffer[6] | buffer[7] << 8, urb->buffer_length - int(kSetupBytes)));
    ++state_.controlRequests;
    const int result = (requestType & 0x60) == 0x40
                           ? vendorRequest(requestType, request, value, index, buffer + kSetupBytes, length)
                           : standardRequest(request, value, buffer + kSetupBytes, length);
    if (result < 0)
        urb->status = result;
    else
        urb->actual_length = result;
}

int EmulatedFt232r::vendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                  unsigned char* data, uint16_t length)
{
    if (failing_.erase({request, value}) || failing_.erase({request, -1}))
        return -EPIPE;
    const bool in = requestType & 0x80;
    switch (request) {
    case 0x00:  // reset / purge
        if (value == 0) {
            ++state_.chipResets;
            toHost_.clear();
        } else if (value == kPurgeToHost) {
            ++state_.rxPurges;
            toHost_.clear();
        } else if (value == kPurgeToLine) {
            ++state_.txPurges;
        }
        return 0;
    case 0x01:
        state_.modemControl = value;
        return 0;
    case 0x02:
        state_.flowControl = index & 0xFF00;
        return 0;
    case 0x03:
        state_.baudValue = value;
        state_.baudIndex = index;
        state_.baudRate = baudFromRequest(value, index);
        return 0;
    case 0x04:
        state_.lineProperty = value;
        return 0;
    case 0x05:  // modem status
        if (!in || length < kStatusBytes)
            return -EPIPE;
        std::memcpy(data, kModemStatus, kStatusBytes);
        return kStatusBytes;
    case 0x06:
    case 0x07:
    case 0x0B:
        return 0;
    case 0x09:
        if ((value & 0xFF) == 0)
            return -EPIPE;
        state_.latencyMs = static_cast<uint8_t>(value & 0xFF);
        return 0;
    case 0x0A:
    case 0x0C:
        if (!in || length < 1)
            return -EPIPE;
        data[0] = request == 0x0A ? state_.latencyMs : 0xFF;
        return 1;
    case 0x90:  // an erased EEPROM
        if (!in || length < 2)
            return -EPIPE;
        data[0] = data[1] = 0xFF;
        return 2;
    default:
        return -EPIPE;
    }
}

int EmulatedFt232r::standardRequest(uint8_t request, uint16_t value, unsigned char* data, uint16_t length)
{
    constexpr uint8_t kGetDescriptor = 6;
    constexpr uint8_t kStringDescriptor = 3;
    if (request != kGetDescriptor || (value >> 8) != kStringDescriptor)
        return -EPIPE;
    std::vector<unsigned char> descriptor;
    switch (value & 0xFF) {
    case 0:
        descriptor = {4, kStringDescriptor, 0x09, 0x04};  // English (US)
        break;
    case 1:
        descriptor = stringDescriptor("FTDI");
        break;
    case 2:
        descriptor = stringDescriptor(description_);
        break;
    case 3:
        descriptor = stringDescriptor(serial_);
        break;
    default:
        return -EPIPE;
    }
    const size_t count = std::min<size_t>(descriptor.size(), length);
    std::memcpy(data, descriptor.data(), count);
    return static_cast<int>(count);
}

void EmulatedFt232r::bulkOut(Urb& entry, int64_t nowUs)
{
    usbdevfs_urb* urb = urbOf(entry.data);
    const auto* bytes = static_cast<const char*>(urb->buffer);
    const size_t offered = static_cast<size_t>(std::max(urb->buffer_length, 0));
    const size_t taken = std::min(offered, transmitBudget_);
    if (transmitBudget_ != SIZE_MAX)
        transmitBudget_ -= taken;
    const std::string_view sent(bytes, taken);
    fromHost_.append(sent);
    // The transmit FIFO holds 128 bytes and drains at the line's speed: the
    // transfer is done once all but the last 128 bytes have left.
    const int64_t byteUs = byteTimeUs();
    const int64_t startUs = std::max(nowUs, lineFreeUs_);
    lineFreeUs_ = startUs + int64_t(taken) * byteUs;
    entry.outAccepted = taken;
    entry.doneUs = taken < offered ? INT64_MAX
                                   : std::max(nowUs, lineFreeUs_ - int64_t(kTransmitFifo) * byteUs);
    // The firmware answers once a command's last byte has arrived.
    ReplyCollector replies;
    model_.receive(sent, (lineFreeUs_ - startUs_) / 1000, replies);
    for (const auto& [text, delayMs] : replies.replies) {
        const std::string reply = withFaults(text, scenario_, ++replyCount_);
        int64_t atUs = std::max(replyFreeUs_, lineFreeUs_ + (int64_t(scenario_.latencyMs) + delayMs) * 1000);
        for (char c : reply) {
            toHost_.emplace_back(c, atUs);
            atUs += byteUs;
        }
        replyFreeUs_ = atUs;
    }
}

size_t EmulatedFt232r::bytesReadyAt(int64_t atUs) const
{
    size_t count = 0;
    while (count < toHost_.size() && toHost_[count].second <= atUs)
        ++count;
    return count;
}

int64_t EmulatedFt232r::fullPacketAtUs() const
{
    return toHost_.size() >= kPacketData ? toHost_[kPacketData - 1].second : INT64_MAX;
}

// Puts one packet (status bytes and dataBytes from the line) into an IN URB;
// true when the URB is finished: a short packet or a full buffer.
bool EmulatedFt232r::fillPacket(Urb& entry, int64_t atUs, size_t dataBytes)
{
    usbdevfs_urb* urb = urbOf(entry.data);
    auto* buffer = static_cast<unsigned char*>(urb->buffer);
    const size_t room = static_cast<size_t>(urb->buffer_length - urb->actual_length);
    const size_t packet = std::min(kStatusBytes + dataBytes, room);
    unsigned char* out = buffer + urb->actual_length;
    std::memcpy(out, kModemStatus, std::min(packet, kStatusBytes));
    for (size_t i = kStatusBytes; i < packet; ++i) {
        out[i] = static_cast<unsigned char>(toHost_.front().first);
        toHost_.pop_front();
    }
    urb->actual_length += static_cast<int>(packet);
    lastPacketUs_ = atUs;
    return packet < kPacketBytes || urb->actual_length >= urb->buffer_length;
}

void EmulatedFt232r::finishOut(Urb& entry, int64_t nowUs)
{
    usbdevfs_urb* urb = urbOf(entry.data);
    if (nowUs >= entry.doneUs) {
        urb->actual_length = urb->buffer_length;
        return;
    }
    if (entry.doneUs == INT64_MAX) {  // held: what the chip took is all it gets
        urb->actual_length = static_cast<int>(entry.outAccepted);
        return;
    }
    // Taken so far: what has left the line plus what the FIFO holds, in
    // whole packets as the host controller counts them.
    const int64_t waiting = (lineFreeUs_ - nowUs) / byteTimeUs() - int64_t(kTransmitFifo);
    const int64_t taken = std::clamp<int64_t>(int64_t(entry.outAccepted) - waiting, 0, int64_t(entry.outAccepted));
    urb->actual_length = static_cast<int>(taken - taken % int64_t(kPacketBytes));
}

// Moves the chip on to nowUs: finishes OUT transfers whose bytes are taken
// and sends IN packets when 62 bytes wait or the latency timer runs out.
void EmulatedFt232r::advance(int64_t nowUs)
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (urbOf(it->data)->endpoint == kBulkOut && nowUs >= it->doneUs) {
            finishOut(*it, nowUs);
            reapable_.push_back(*it);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    const int64_t latencyUs = int64_t(state_.latencyMs) * 1000;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (urbOf(it->data)->endpoint != kBulkIn) {
            ++it;
            continue;
        }
        bool finished = false;
        while (!finished) {
            // No packet goes out before the host asks for one.
            const int64_t fullAt = std::max(fullPacketAtUs(), it->submitUs);
            const int64_t timerAt = std::max(lastPacketUs_ + latencyUs, it->submitUs);
            const int64_t atUs = std::min(fullAt, timerAt);
            if (atUs > nowUs)
                break;
            const size_t ready = fullAt <= timerAt ? kPacketData : std::min(bytesReadyAt(atUs), kPacketData);
            finished = fillPacket(*it, atUs, ready);
        }
        if (!finished)
            return;  // IN URBs are served in order
        reapable_.push_back(*it);
        it = pending_.erase(it);
    }
}

void EmulatedFt232r::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    if (reapable_.empty()) {
        umockdev_ioctl_client_complete(client, -1, unplugged_ ? ENODEV : EAGAIN);
        return;
    }
    Urb entry = reapable_.front();
    reapable_.pop_front();
    UMockdevIoctlData* target = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(target, 0, entry.data);
    g_object_unref(target);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(entry.data);
}

void EmulatedFt232r::discard(UMockdevIoctlClient* client, unsigned long address)
{
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [address](const Urb& urb) { return urb.data->client_addr == address; });
    if (it == pending_.end()) {
        // Already finished: the kernel says so and the URB is reaped as usual.
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    Urb entry = *it;
    pending_.erase(it);
    usbdevfs_urb* urb = urbOf(entry.data);
    if (urb->endpoint == kBulkOut)
        finishOut(entry, time_.monotonicUs());
    urb->status = -ENOENT;
    reapable_.push_back(entry);
    umockdev_ioctl_client_complete(client, 0, 0);
}

}  // namespace ktx::usbemu
