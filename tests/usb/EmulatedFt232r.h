#pragma once
// An FT232R as the usbdevfs node of a umockdev test bed: answers libusb's
// ioctls (claim, driver detach, capabilities, control and bulk URBs with
// asynchronous reap and discard) the way the kernel and the chip would. The
// bytes written to it go to the simulated tracker's firmware (DeviceModel);
// its replies, with the scenario's reply faults, come back in 64-byte bulk
// packets, each led by the two modem status bytes, sent when 62 bytes are
// waiting or the latency timer runs out.
//
// The handler runs on the test bed's own thread; every public call is safe
// from any other thread.
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/TimeSource.h"
#include "sim/DeviceModel.h"
#include "sim/Scenario.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace ktx::usbemu {

// What the host has set on the chip, for tests to check.
struct ChipState {
    uint16_t baudValue = 0;  // wValue and wIndex of the last baud rate request
    uint16_t baudIndex = 0;
    uint32_t baudRate = 9600;
    uint16_t lineProperty = 0;  // wValue of the data characteristics request
    uint16_t flowControl = 0;   // high byte of wIndex of the flow control request
    uint16_t modemControl = 0;
    uint8_t latencyMs = 16;
    bool claimed = false;
    bool kernelDriverBound = true;
    int claims = 0;
    int detaches = 0;
    int chipResets = 0;
    int rxPurges = 0;  // bytes on their way to the host dropped
    int txPurges = 0;
    int controlRequests = 0;
    int bulkInTransfers = 0;  // URBs submitted
    int bulkOutTransfers = 0;
};

class EmulatedFt232r {
public:
    EmulatedFt232r(TimeSource& time, const sim::Scenario& scenario);
    ~EmulatedFt232r();
    EmulatedFt232r(const EmulatedFt232r&) = delete;
    EmulatedFt232r& operator=(const EmulatedFt232r&) = delete;

    // The object to attach to the device node.
    UMockdevIoctlBase* handler() const { return handler_; }

    ChipState state() const;
    // Every byte the host has written, in order.
    std::string bytesFromHost() const;
    // Bytes that arrive on the serial line toward the host: the first
    // afterUs from now, each next one spacingUs later.
    void sendToHost(std::string_view bytes, int64_t afterUs = 0, int64_t spacingUs = 0);
    // The next vendor request with this code (and wValue, or any with -1) is
    // stalled, as a chip that does not answer it.
    void failNextRequest(uint8_t request, int value = -1);
    // SET_CONFIGURATION fails from now on: a chip the host can't configure.
    void refuseConfiguration();
    // The transmit side stops taking bytes after this many more: flow
    // control holding the line, say.
    void stallTransmitAfter(size_t bytes);
    // The device is gone: pending URBs end with -ESHUTDOWN, every later call
    // fails with ENODEV.
    void unplug();
    // Strings the chip reports, UTF-8; an empty serial still has a
    // descriptor (the sysfs descriptors decide whether the host asks).
    void setStrings(std::string description, std::string serial);

private:
    struct Urb {
        UMockdevIoctlData* data = nullptr;  // owned reference
        int64_t submitUs = 0;
        int64_t doneUs = 0;  // bulk OUT: when the last byte is taken
        size_t outAccepted = 0;
        bool done = false;
    };

    static int onIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, EmulatedFt232r* self);
    bool handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, unsigned long address);
    void control(Urb& urb, int64_t nowUs);
    int vendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      unsigned char* data, uint16_t length);
    int standardRequest(uint8_t request, uint16_t value, unsigned char* data, uint16_t length);
    void bulkOut(Urb& urb, int64_t nowUs);
    void advance(int64_t nowUs);
    bool fillPacket(Urb& urb, int64_t atUs, size_t dataBytes);
    size_t bytesReadyAt(int64_t atUs) const;
    int64_t fullPacketAtUs() const;
    void finishOut(Urb& urb, int64_t nowUs);
    int64_t byteTimeUs() const;

    TimeSource& time_;
    sim::Scenario scenario_;
    sim::DeviceModel model_;
    int64_t startUs_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    ChipState state_;
    std::string description_;
    std::string serial_;
    std::string fromHost_;
    // Bytes from the serial line toward the host, with their arrival time.
    std::deque<std::pair<char, int64_t>> toHost_;
    int64_t lastPacketUs_ = 0;     // the latency timer restarts with each packet
    int64_t lineFreeUs_ = 0;       // the transmit side has sent all it holds
    int64_t replyFreeUs_ = 0;      // the tracker's line to the chip is free
    size_t transmitBudget_ = SIZE_MAX;
    uint64_t replyCount_ = 0;
    std::set<std::pair<uint8_t, int>> failing_;
    bool unplugged_ = false;
    bool configurable_ = true;
    std::deque<Urb> pending_;      // submitted, in order
    std::deque<Urb> reapable_;     // finished, in order of finishing
};

}  // namespace ktx::usbemu
