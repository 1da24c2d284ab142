#pragma once
// The simulated tracker as a driver backend: lists one FTDI device, opens it,
// feeds written commands to the device model and hands out its replies with
// the scenario's latency and USB chunking, waiting on the time source (so
// tests run it in virtual time and the console in real time). Used from one
// thread, like the real driver in this program.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/FtDriver.h"
#include "link/TimeSource.h"
#include "sim/DeviceModel.h"
#include "sim/Scenario.h"

namespace ktx::sim {

class SimDriver : public FtDriver, private ReplySink {
public:
    SimDriver(TimeSource& time, Scenario scenario);

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) override;
    FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t latencyMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

    // Pulling the device out makes FT_Open fail and an open channel dead
    // (reads and writes move nothing) until it is closed.
    void setPlugged(bool plugged);
    bool plugged() const;
    // True once after each change of the plug state, the scheduled
    // faults.unplugAtMs and faults.replugAtMs included: the window's periodic
    // device check.
    bool pollPlugChange();
    // Pulls the device out ms from now: in the middle of an exchange.
    void unplugAfterMs(int64_t ms);
    // The reply faults and the reply latency from now on, as a tracker going
    // bad (or well again) while the console runs.
    void setReplyFaults(const Faults& faults);
    void setLatencyMs(int latencyMs);
    // The tracker restarts ms from now and answers nothing for bootMs: what
    // it was sending is cut, its state is reset, and it comes back with the
    // firmware version of `identity` (flashed meanwhile). With usbDrops its
    // USB chip restarts too: the open channel dies, and the device returns
    // as a new one with identity's serial and description.
    void rebootAfterMs(int64_t ms, int64_t bootMs, const Scenario& identity, bool usbDrops);
    // From now on each reply is held back to the edge of the console's wait
    // for it: its last byte arrives offsetUs after the deadline of the read
    // that would have taken it (negative: just before it). A reply pushed
    // outside follows the console's further reads of the same command
    // without a write between (a wait of several reads) and then stays
    // outside; it survives the purge before the next command, as a late
    // reply on the wire does. nullopt: replies on time again.
    void setRepliesAtWaitEdge(std::optional<int64_t> offsetUs);

    DeviceModel& device() { return *model_; }
    const Scenario& scenario() const { return scenario_; }
    // Milliseconds since the device (re)started: the device model's time.
    int64_t modelMs() const;

    bool isOpen() const { return open_; }
    uint32_t baudRate() const { return baudRate_; }
    uint32_t readTimeoutMs() const { return readTimeoutMs_; }

protected:
    FT_STATUS deviceCount(uint32_t& count) override;
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override;

private:
    // Reply bytes rx_[begin, end) leave the device from startUs on, one chunk
    // every chunk interval.
    struct Delivery {
        int64_t startUs;
        size_t begin;
        size_t end;
        bool atWaitEdge = false;  // still to be moved to the edge of a read
    };

    void onReply(std::string_view reply, int64_t delayMs) override;
    void updatePlug();
    void updateReboot();
    void startModel();
    int64_t spanUs(const Delivery& delivery) const;
    void moveToWaitEdge(int64_t nowUs, int64_t deadlineUs);
    bool usable(FT_HANDLE handle) const;
    void dropReceived();
    size_t deliveredEnd(int64_t nowUs) const;
    int64_t nextArrivalUs(int64_t nowUs) const;

    TimeSource& time_;
    Scenario scenario_;
    std::unique_ptr<DeviceModel> model_;
    int64_t startUs_;
    int64_t modelStartUs_ = 0;

    bool plugged_ = true;
    bool plugChanged_ = false;
    bool unplugPending_;
    int64_t unplugAtUs_ = 0;
    bool replugPending_;
    int64_t replugAtUs_ = 0;

    bool open_ = false;
    bool dead_ = false;  // unplugged while open
    uint32_t baudRate_ = 9600;
    uint32_t readTimeoutMs_ = 0;
    // Wire time is modelled on a link whose rate was set by divisor: the
    // modem firmware update streams blocks there whose time on the wire
    // outweighs the device's latency. 0: not modelled.
    uint32_t wireBaud_ = 0;
    int64_t wireFreeUs_ = 0;    // when the last written byte has left
    int64_t commandEndUs_ = 0;  // when the device has the command being written

    std::string rx_;  // replies not yet read, delivered or still on their way
    size_t readPos_ = 0;
    std::vector<Delivery> deliveries_;
    int64_t busyUntilUs_ = 0;  // when the device may start its next reply
    uint64_t replyCount_ = 0;

    bool rebootPending_ = false;
    int64_t rebootAtUs_ = 0;
    int64_t bootEndUs_ = 0;  // no replies before this
    Scenario rebootIdentity_;
    bool rebootDropsUsb_ = false;
    std::optional<int64_t> waitEdgeOffsetUs_;
};

}  // namespace ktx::sim
