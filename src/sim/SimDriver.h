#pragma once
// The simulated tracker as a driver backend: lists one FTDI device, opens it,
// feeds written commands to the device model and hands out its replies with
// the scenario's latency and USB chunking, waiting on the time source (so
// tests run it in virtual time and the console in real time). Used from one
// thread, like the real driver in this program.
#include <cstdint>
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

    DeviceModel& device() { return model_; }
    const Scenario& scenario() const { return scenario_; }
    // Milliseconds since the simulator started: the device model's time.
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
    };

    void onReply(std::string_view reply, int64_t delayMs) override;
    void updatePlug();
    bool usable(FT_HANDLE handle) const;
    void dropReceived();
    size_t deliveredEnd(int64_t nowUs) const;
    int64_t nextArrivalUs(int64_t nowUs) const;

    TimeSource& time_;
    Scenario scenario_;
    DeviceModel model_;
    int64_t startUs_;

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
};

}  // namespace ktx::sim
