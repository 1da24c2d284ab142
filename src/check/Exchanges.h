#pragma once
// Keeps a step's exchange log: every command written and every reply read
// through the driver, and every console line the cores write.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/LogSink.h"
#include "check/Record.h"
#include "link/FtDriver.h"
#include "link/TimeSource.h"

namespace ktx::check {

// Collects lines for the step running now; the run takes them at its end.
class ExchangeLog {
public:
    explicit ExchangeLog(const TimeSource& time) : time_(time) {}

    // Texts (the SIM PIN, the access point's user and password) shown as
    // "***" wherever they stand in quotes, as commands carry them.
    void setSecrets(std::vector<std::string> secrets) { secrets_ = std::move(secrets); }
    void begin();
    void sent(std::string_view bytes);
    void received(std::string_view bytes);
    void console(std::string_view cp1251Text);
    std::vector<Exchange> take();

private:
    void flushReceived();
    void add(const char* kind, std::string text);

    const TimeSource& time_;
    int64_t startUs_ = 0;
    std::string pendingReceived_;  // read in chunks, kept as one reply
    std::vector<Exchange> lines_;
    std::vector<std::string> secrets_;
};

// text with every quoted secret ("1234") replaced by "***".
std::string maskSecrets(std::string text, const std::vector<std::string>& secrets);

// Device bytes as readable text: Windows-1251 letters as UTF-8, control
// bytes other than CR, LF and tab as \xNN.
std::string readableBytes(std::string_view bytes);

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isUtf8(std::string_view text);
// text with each byte that does not belong to well-formed UTF-8 replaced by
// U+FFFD, so an XML or JSON reader always takes it.
std::string wellFormedUtf8(std::string_view text);

// Passes every call to the driver underneath, noting writes and reads.
class RecordingDriver : public FtDriver {
public:
    RecordingDriver(FtDriver& inner, ExchangeLog& log) : inner_(inner), log_(log) {}

    // Opens only the tracker with this USB serial: one that came back under
    // another serial at the same index (another tracker plugged in, a chip
    // that re-enumerated as a different one) is not opened, so its answers
    // are never recorded under the first one's serial. Empty: any.
    void openOnly(std::string serial) { serial_ = std::move(serial); }
    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE h, uint32_t baud) override { return inner_.FT_SetBaudRate(h, baud); }
    FT_STATUS FT_SetDivisor(FT_HANDLE h, uint16_t divisor) override { return inner_.FT_SetDivisor(h, divisor); }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override
    {
        return inner_.FT_SetTimeouts(h, readMs, writeMs);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t word, uint8_t stop, uint8_t parity) override
    {
        return inner_.FT_SetDataCharacteristics(h, word, stop, parity);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t flow, uint8_t xon, uint8_t xoff) override
    {
        return inner_.FT_SetFlowControl(h, flow, xon, xoff);
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) override { return inner_.FT_SetLatencyTimer(h, ms); }
    FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) override { return inner_.FT_Purge(h, mask); }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return inner_.FT_ResetDevice(h); }
    FT_STATUS FT_Close(FT_HANDLE h) override { return inner_.FT_Close(h); }

protected:
    FT_STATUS deviceCount(uint32_t& count) override;
    FT_STATUS deviceString(uint32_t index, uint32_t which, std::string& text) override;

private:
    FtDriver& inner_;
    ExchangeLog& log_;
    std::string serial_;
};

// The consoles of the tabs, written into the exchange log.
class ConsoleCapture : public LogSink {
public:
    explicit ConsoleCapture(ExchangeLog& log) : log_(log) {}

    int debugLevel() const override { return 1; }
    void debugLine(std::string_view text) override { log_.console(text); }
    void modemLine(std::string_view text) override { log_.console(text); }
    void rs485Line(std::string_view text) override { log_.console(text); }
    void telitLine(std::string_view text) override { log_.console(text); }
    // The check keeps its own record instead of the data logs.
    void streamLine(std::string_view, std::string_view, std::string_view) override {}

private:
    ExchangeLog& log_;
};

}  // namespace ktx::check
