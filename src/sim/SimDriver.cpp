#include "sim/SimDriver.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/TextCodec.h"
#include "sim/SimRandom.h"

namespace ktx::sim {

namespace {

// D2XX waits forever on a read until timeouts are set; here every wait is
// bounded, so a fresh handle waits at most this long.
constexpr uint32_t kDefaultReadTimeoutMs = 1000;
// No caller waits longer than this for one read.
constexpr uint32_t kMaxReadTimeoutMs = 60000;
// The driver's receive buffer: replies beyond it are lost, as on overrun.
constexpr size_t kReceiveBufferBytes = 64 * 1024;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// Start bit, eight data bits, stop bit.
constexpr int64_t kBitsPerByte = 10;

// Fault channels of the reply PRNG.
enum : int { kSilentChannel = 100, kShortChannel, kGarbageChannel, kGarbageBytes, kBreakChannel, kFloodChannel,
             kFloodBytes };

}  // namespace

SimDriver::SimDriver(TimeSource& time, Scenario scenario)
    : time_(time), scenario_(std::move(scenario)), startUs_(time.monotonicUs()),
      unplugPending_(scenario_.faults.unplugAtMs >= 0), replugPending_(scenario_.faults.replugAtMs >= 0)
{
    if (unplugPending_)
        unplugAtUs_ = startUs_ + scenario_.faults.unplugAtMs * 1000;
    if (replugPending_)
        replugAtUs_ = startUs_ + scenario_.faults.replugAtMs * 1000;
    rx_.reserve(1024);
    deliveries_.reserve(16);
    startModel();
}

void SimDriver::startModel()
{
    modelStartUs_ = time_.monotonicUs();
    model_ = std::make_unique<DeviceModel>(scenario_);
    // The device's clock and receiver time start from the PC's UTC time.
    model_->setUtcAtStartMs(time_.wallClockUtcMs());
}

void SimDriver::rebootAfterMs(int64_t ms, int64_t bootMs, const Scenario& identity, bool usbDrops)
{
    rebootPending_ = true;
    rebootAtUs_ = time_.monotonicUs() + ms * 1000;
    bootEndUs_ = rebootAtUs_ + bootMs * 1000;
    rebootIdentity_ = identity;
    rebootDropsUsb_ = usbDrops;
    if (usbDrops) {
        unplugPending_ = true;
        unplugAtUs_ = rebootAtUs_;
        replugPending_ = true;
        replugAtUs_ = bootEndUs_;
    }
}

void SimDriver::updateReboot()
{
    if (!rebootPending_ || time_.monotonicUs() < rebootAtUs_)
        return;
    rebootPending_ = false;
    // What was on its way stops where the restart cut it.
    rx_.resize(deliveredEnd(rebootAtUs_));
    std::erase_if(deliveries_, [this](const Delivery& d) { return d.begin >= rx_.size(); });
    for (Delivery& d : deliveries_)
        d.end = std::min(d.end, rx_.size());
    if (readPos_ >= rx_.size())
        dropReceived();
    scenario_.version = rebootIdentity_.version;
    if (rebootDropsUsb_) {
        scenario_.serial = rebootIdentity_.serial;
        scenario_.description = rebootIdentity_.description;
    }
    startModel();
}

void SimDriver::setRepliesAtWaitEdge(std::optional<int64_t> offsetUs)
{
    waitEdgeOffsetUs_ = offsetUs;
    for (Delivery& d : deliveries_)
        d.atWaitEdge = false;
}

int64_t SimDriver::spanUs(const Delivery& delivery) const
{
    const auto chunks = static_cast<int64_t>((delivery.end - delivery.begin + scenario_.chunkBytes - 1) / scenario_.chunkBytes);
    return std::max<int64_t>(chunks - 1, 0) * scenario_.chunkIntervalUs;
}

void SimDriver::moveToWaitEdge(int64_t nowUs, int64_t deadlineUs)
{
    const int64_t offsetUs = *waitEdgeOffsetUs_;
    int64_t busyUs = 0;  // deliveries keep their order on the wire
    for (Delivery& d : deliveries_) {
        const int64_t span = spanUs(d);
        if (d.atWaitEdge && d.startUs <= nowUs)
            d.atWaitEdge = false;  // already arriving
        if (d.atWaitEdge && d.startUs + span <= deadlineUs) {
            d.startUs = std::max(d.startUs, deadlineUs + offsetUs - span);
            // Inside, it is taken by this read; outside, it may be pushed on
            // by the next read of the same wait.
            d.atWaitEdge = offsetUs > 0;
        }
        d.startUs = std::max(d.startUs, busyUs);
        busyUs = d.startUs + span + scenario_.chunkIntervalUs;
    }
    busyUntilUs_ = std::max(busyUntilUs_, busyUs);
}

void SimDriver::unplugAfterMs(int64_t ms)
{
    unplugPending_ = true;
    unplugAtUs_ = time_.monotonicUs() + ms * 1000;
}

void SimDriver::setReplyFaults(const Faults& faults)
{
    scenario_.faults.silent = faults.silent;
    scenario_.faults.shortReplies = faults.shortReplies;
    scenario_.faults.garbage = faults.garbage;
    scenario_.faults.lineBreaks = faults.lineBreaks;
    scenario_.faults.floods = faults.floods;
}

void SimDriver::setLatencyMs(int latencyMs)
{
    scenario_.latencyMs = latencyMs;
}

int64_t SimDriver::modelMs() const
{
    return (time_.monotonicUs() - modelStartUs_) / 1000;
}

void SimDriver::updatePlug()
{
    updateReboot();
    const int64_t nowUs = time_.monotonicUs();
    if (unplugPending_ && nowUs >= unplugAtUs_) {
        unplugPending_ = false;
        setPlugged(false);
    }
    // The scenario only allows a replug after the unplug.
    if (replugPending_ && !unplugPending_ && nowUs >= replugAtUs_) {
        replugPending_ = false;
        setPlugged(true);
    }
}

void SimDriver::setPlugged(bool plugged)
{
    if (plugged == plugged_)
        return;
    plugged_ = plugged;
    plugChanged_ = true;
    if (!plugged_) {
        dead_ = open_;
        dropReceived();
    }
}

bool SimDriver::plugged() const
{
    const int64_t nowUs = time_.monotonicUs();
    if (replugPending_ && nowUs >= replugAtUs_)
        return true;
    return plugged_ && !(unplugPending_ && nowUs >= unplugAtUs_);
}

bool SimDriver::pollPlugChange()
{
    updatePlug();
    const bool changed = plugChanged_;
    plugChanged_ = false;
    return changed;
}

FT_STATUS SimDriver::deviceCount(uint32_t& count)
{
    updatePlug();
    count = plugged_ ? 1 : 0;
    return FT_OK;
}

FT_STATUS SimDriver::deviceString(uint32_t index, uint32_t which, std::string& text)
{
    updatePlug();
    if (!plugged_ || index != 0)
        return FT_DEVICE_NOT_FOUND;
    // A real chip's strings reach the console through the vendor driver as
    // Windows-1251 bytes; the scenario's are UTF-8.
    text = cp1251FromUtf8(which == FT_OPEN_BY_SERIAL_NUMBER ? scenario_.serial : scenario_.description);
    return FT_OK;
}

bool SimDriver::usable(FT_HANDLE handle) const
{
    return open_ && !dead_ && handle == static_cast<const void*>(this);
}

FT_STATUS SimDriver::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    updatePlug();
    if (!handle)
        return FT_INVALID_PARAMETER;
    if (deviceNumber != 0 || !plugged_)
        return FT_DEVICE_NOT_FOUND;
    if (open_)
        return FT_DEVICE_NOT_OPENED;  // held by another handle
    open_ = true;
    dead_ = false;
    readTimeoutMs_ = kDefaultReadTimeoutMs;
    wireBaud_ = 0;
    dropReceived();
    *handle = this;
    return FT_OK;
}

FT_STATUS SimDriver::FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate)
{
    updatePlug();
    if (!usable(handle))
        return FT_INVALID_HANDLE;
    if (baudRate == 0)
        return FT_INVALID_BAUD_RATE;
    baudRate_ = baudRate;
    wireBaud_ = 0;
    return FT_OK;
}

FT_STATUS SimDriver::FT_SetDivisor(FT_HANDLE handle, uint16_t divisor)
{
    updatePlug();
    if (!usable(handle))
        return FT_INVALID_HANDLE;
    baudRate_ = baudForDivisor(divisor);
    wireBaud_ = baudRate_;
    wireFreeUs_ = 0;
    return FT_OK;
}

FT_STATUS SimDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t)
{
    updatePlug();
    if (!usable(handle))
        return FT_INVALID_HANDLE;
    readTimeoutMs_ = std::min(readTimeoutMs, kMaxReadTimeoutMs);
    return FT_OK;
}

FT_STATUS SimDriver::FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t, uint8_t, uint8_t)
{
    updatePlug();
    return usable(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS SimDriver::FT_SetFlowControl(FT_HANDLE handle, uint16_t, uint8_t, uint8_t)
{
    updatePlug();
    return usable(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS SimDriver::FT_SetLatencyTimer(FT_HANDLE handle, uint8_t)
{
    updatePlug();
    return usable(handle) ? FT_OK : FT_INVALID_HANDLE;
}

void SimDriver::dropReceived()
{
    rx_.clear();
    readPos_ = 0;
    deliveries_.clear();
    busyUntilUs_ = 0;
}

FT_STATUS SimDriver::FT_Purge(FT_HANDLE handle, uint32_t mask)
{
    updatePlug();
    if (!usable(handle))
        return FT_INVALID_HANDLE;
    // A reply still on its way counts as received: the console purges before
    // each command so that no late reply reaches the next parser. Written
    // bytes reach the device at once, so there is nothing to purge for TX.
    // A reply held outside its wait is still on the wire: only what has
    // arrived is dropped.
    if ((mask & FT_PURGE_RX) && waitEdgeOffsetUs_) {
        readPos_ = deliveredEnd(time_.monotonicUs());
        if (readPos_ >= rx_.size())
            dropReceived();
    } else if (mask & FT_PURGE_RX) {
        dropReceived();
    }
    return FT_OK;
}

void SimDriver::onReply(std::string_view reply, int64_t delayMs)
{
    const uint64_t tick = ++replyCount_;
    const uint64_t seed = scenario_.seed;
    const auto& faults = scenario_.faults;
    if (unitAt(seed, kSilentChannel, tick) < faults.silent)
        return;
    if (unitAt(seed, kShortChannel, tick) < faults.shortReplies)
        reply = reply.substr(0, reply.size() / 2);
    std::string shaped;
    if (unitAt(seed, kBreakChannel, tick) < faults.lineBreaks && reply.size() > 1) {
        shaped.assign(reply.substr(0, reply.size() / 2)).append("\r\n").append(reply.substr(reply.size() / 2));
        reply = shaped;
    }
    if (unitAt(seed, kFloodChannel, tick) < faults.floods && rx_.size() + reply.size() < kReceiveBufferBytes) {
        if (shaped.data() != reply.data())
            shaped.assign(reply);
        // Every byte value, NUL and the line ends included.
        for (size_t i = shaped.size(); rx_.size() + i < kReceiveBufferBytes; ++i)
            shaped += static_cast<char>(hashOf(seed, kFloodBytes, (tick << 20) + i) & 0xFF);
        reply = shaped;
    }
    if (reply.empty() || rx_.size() + reply.size() > kReceiveBufferBytes)
        return;

    const size_t begin = rx_.size();
    if (unitAt(seed, kGarbageChannel, tick) < faults.garbage) {
        for (size_t i = 0; i < reply.size(); ++i) {
            char c = static_cast<char>(hashOf(seed, kGarbageBytes, (tick << 16) + i) & 0xFF);
            if (c == ';' || c == '\n')
                c = '#';
            rx_ += c;
        }
    } else {
        rx_.append(reply);
    }

    // Replies only come from FT_Write: commandEndUs_ is the command's arrival.
    const int64_t chunks = static_cast<int64_t>((reply.size() + scenario_.chunkBytes - 1) / scenario_.chunkBytes);
    const int64_t startUs = std::max(commandEndUs_ + (int64_t(scenario_.latencyMs) + std::max<int64_t>(delayMs, 0)) * 1000, busyUntilUs_);
    busyUntilUs_ = startUs + chunks * scenario_.chunkIntervalUs;
    deliveries_.push_back({startUs, begin, rx_.size(), waitEdgeOffsetUs_.has_value()});
}

FT_STATUS SimDriver::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written)
{
    updatePlug();
    if (written)
        *written = 0;
    if (!usable(handle))
        return dead_ ? FT_IO_ERROR : FT_INVALID_HANDLE;
    if (!buffer && count > 0)
        return FT_INVALID_PARAMETER;
    commandEndUs_ = time_.monotonicUs();
    if (wireBaud_ != 0) {
        commandEndUs_ = std::max(commandEndUs_, wireFreeUs_) + int64_t(count) * kBitsPerByte * 1000000 / wireBaud_;
        wireFreeUs_ = commandEndUs_;
    }
    // A reply left outside the last wait stays where it is.
    for (Delivery& d : deliveries_)
        d.atWaitEdge = false;
    // A restarting tracker hears nothing.
    if (commandEndUs_ >= bootEndUs_)
        model_->receive(std::string_view(static_cast<const char*>(buffer), count), modelMs(), *this);
    if (written)
        *written = count;
    return FT_OK;
}

size_t SimDriver::deliveredEnd(int64_t nowUs) const
{
    const auto chunk = static_cast<size_t>(scenario_.chunkBytes);
    for (const Delivery& d : deliveries_) {
        if (nowUs < d.startUs)
            return d.begin;
        if (scenario_.chunkIntervalUs > 0) {
            const auto chunks = static_cast<size_t>((nowUs - d.startUs) / scenario_.chunkIntervalUs) + 1;
            if (chunks < (d.end - d.begin + chunk - 1) / chunk)
                return d.begin + chunks * chunk;
        }
    }
    return rx_.size();
}

int64_t SimDriver::nextArrivalUs(int64_t nowUs) const
{
    const size_t end = deliveredEnd(nowUs);
    for (const Delivery& d : deliveries_) {
        if (end >= d.end)
            continue;
        if (nowUs < d.startUs)
            return d.startUs;
        const int64_t interval = scenario_.chunkIntervalUs;
        return d.startUs + ((nowUs - d.startUs) / interval + 1) * interval;
    }
    return kNever;
}

FT_STATUS SimDriver::FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received)
{
    updatePlug();
    if (received)
        *received = 0;
    if (!usable(handle))
        return dead_ ? FT_IO_ERROR : FT_INVALID_HANDLE;
    if (!buffer && count > 0)
        return FT_INVALID_PARAMETER;

    const int64_t deadlineUs = time_.monotonicUs() + int64_t(readTimeoutMs_) * 1000;
    if (waitEdgeOffsetUs_)
        moveToWaitEdge(time_.monotonicUs(), deadlineUs);
    for (;;) {
        const int64_t nowUs = time_.monotonicUs();
        const size_t ready = deliveredEnd(nowUs) - readPos_;
        if (ready >= count || nowUs >= deadlineUs)
            break;
        int64_t wakeUs = std::min(deadlineUs, nextArrivalUs(nowUs));
        if (unplugPending_)
            wakeUs = std::min(wakeUs, std::max(unplugAtUs_, nowUs + 1));
        if (rebootPending_)
            wakeUs = std::min(wakeUs, std::max(rebootAtUs_, nowUs + 1));
        time_.sleepUs(static_cast<uint64_t>(std::max<int64_t>(wakeUs - nowUs, 1)));
        updatePlug();
        if (dead_)
            return FT_IO_ERROR;
    }

    const size_t ready = deliveredEnd(time_.monotonicUs()) - readPos_;
    const size_t n = std::min<size_t>(ready, count);
    if (n > 0)
        std::memcpy(buffer, rx_.data() + readPos_, n);
    readPos_ += n;
    if (readPos_ == rx_.size())
        dropReceived();
    if (received)
        *received = static_cast<uint32_t>(n);
    return FT_OK;
}

FT_STATUS SimDriver::FT_ResetDevice(FT_HANDLE handle)
{
    updatePlug();
    if (!usable(handle))
        return dead_ ? FT_IO_ERROR : FT_INVALID_HANDLE;
    dropReceived();
    return FT_OK;
}

FT_STATUS SimDriver::FT_Close(FT_HANDLE handle)
{
    if (!open_ || handle != static_cast<const void*>(this))
        return FT_INVALID_HANDLE;
    open_ = false;
    dead_ = false;
    dropReceived();
    return FT_OK;
}

}  // namespace ktx::sim
