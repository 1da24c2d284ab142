// A modem firmware update of a 4.5 MB file through the TELIT tab (consoles,
// telitdebug.txt, both debug files, progress bar) against the simulated
// tracker on virtual time: a 1 000 000-baud wire and a 1 ms acknowledgement.
// Reported: the program's CPU for the whole update (the benchmark's CPU
// time, the simulator's share included), the update's virtual duration, and
// the record transfer against the floor the protocol sets.
#include <benchmark/benchmark.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "app/ui/Consoles.h"
#include "link/AppContext.h"
#include "gsm/ui/GsmTab.h"
#include "telit/ui/TelitTab.h"
#include "base/TextCodec.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "telit/sim/TelitModule.h"
#include "telit/FirmwareFile.h"
#include "telit/RawBlock.h"
#include "telit/FirmwareUpdate.h"
#include "telit/FirmwareBuilder.h"

namespace {

using ktx::telit::RawBlock;

constexpr size_t kFirmwareBytes = 4500 * 1000;
constexpr int kAckMs = 1;
constexpr int64_t kBaud = 1000000;
constexpr int64_t kBitsPerByte = 10;

// Flash images go sector by sector: an erase record, then the sector's data
// in records of 1 to 8 KiB.
ktx::telit::test::FirmwareBuilder realisticFirmware()
{
    ktx::telit::test::FirmwareBuilder firmware("LE910C1 25.30.226", "LE910C1-EU", 128);
    uint32_t state = 12345;
    size_t total = 0;
    size_t sectorLeft = 0;
    while (total < kFirmwareBytes) {
        if (sectorLeft == 0) {
            firmware.record(ktx::telit::test::erasePayload(16, total % 2));
            sectorLeft = 64 * 1024;
        }
        state = state * 1103515245u + 12345u;
        size_t size = 1024 + (state >> 8) % (7 * 1024 + 1);
        size = std::min({size, sectorLeft, kFirmwareBytes - total});
        firmware.record(ktx::telit::test::payloadOf(size, uint8_t(state)));
        total += size;
        sectorLeft -= size;
    }
    return firmware;
}

// One exchange on the update link: the command's wire time and the
// acknowledgement, as seen by 1 ms reads.
struct ExchangeFloor {
    int64_t physicalUs = 0;
    int64_t readUs = 0;

    void add(size_t commandBytes)
    {
        const int64_t us = int64_t(commandBytes) * kBitsPerByte * 1000000 / kBaud + kAckMs * 1000;
        physicalUs += us;
        readUs += (us + 999) / 1000 * 1000;
    }
    void wait(int64_t us)
    {
        physicalUs += us;
        readUs += us;
    }
};

// The record transfer's floor: every block and poll, and the 30 ms after
// each record the modem reports done.
ExchangeFloor transferFloor(const ktx::telit::test::FirmwareBuilder& firmware, int erasePolls)
{
    ExchangeFloor floor;
    uint8_t number = 0;
    std::string frame;
    for (const auto& payload : firmware.payloads) {
        for (const std::string_view piece : RawBlock::split(payload)) {
            RawBlock::frame(number++, piece, frame);
            floor.add(frame.size());
        }
        const int polls = ktx::telit::EraseRecord::matches(payload) ? erasePolls + 1 : 1;
        for (int i = 0; i < polls; ++i)
            floor.add(7);
        floor.wait(ktx::telit::kRecordDoneSleepMs * 1000);
    }
    return floor;
}

// The window's consoles, noting when the transfer starts and ends.
class TimedConsoles : public ktx::LogSink {
public:
    TimedConsoles(ktx::Consoles& consoles, ktx::TimeSource& time) : consoles_(consoles), time_(time) {}
    int debugLevel() const override { return consoles_.debugLevel(); }
    void debugLine(std::string_view text) override { consoles_.debugLine(text); }
    void modemLine(std::string_view text) override { consoles_.modemLine(text); }
    void rs485Line(std::string_view text) override { consoles_.rs485Line(text); }
    void streamLine(std::string_view d, std::string_view s, std::string_view f) override { consoles_.streamLine(d, s, f); }
    void telitLine(std::string_view text) override
    {
        // The file's header is read before the modem is powered; the
        // transfer starts with the first record read.
        static const std::string firstRecord = ktx::cp1251FromUtf8("Прочитано ");
        static const std::string end = ktx::cp1251FromUtf8("Достигнут конец файла");
        if (text.starts_with(firstRecord) && transferStartUs == 0)
            transferStartUs = time_.monotonicUs();
        if (text.starts_with(end))
            transferEndUs = time_.monotonicUs();
        consoles_.telitLine(text);
    }
    int64_t transferStartUs = 0;
    int64_t transferEndUs = 0;

private:
    ktx::Consoles& consoles_;
    ktx::TimeSource& time_;
};

void BM_TelitUpdate45MB(benchmark::State& state)
{
    const auto firmware = realisticFirmware();
    QTemporaryDir dir;
    firmware.writeTo(dir.filePath("firmware.bin").toStdString());
    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    scenario.latencyMs = 0;
    scenario.telit.ackDelayMs = kAckMs;
    const ExchangeFloor floor = transferFloor(firmware, scenario.telit.erasePolls);

    for (auto _ : state) {
        state.PauseTiming();
        ktx::VirtualTimeSource time;
        ktx::sim::SimDriver driver(time, scenario);
        ktx::UsbLink link(driver, time);
        ktx::Consoles consoles(time, dir.path().toStdString());
        TimedConsoles sink(consoles, time);
        ktx::DeviceInfo device;
        ktx::AppContext context{link, time, sink, device};
        ktx::TelitTab tab(context);
        consoles.attach(nullptr, nullptr, nullptr, tab.findChild<QPlainTextEdit*>(QStringLiteral("TelitMemo")));
        tab.setWorkDir(dir.path().toStdString());
        tab.findChild<QLineEdit*>(QStringLiteral("FirmwarePath"))->setText(dir.filePath("firmware.bin"));
        state.ResumeTiming();

        tab.TelitInitClick();

        state.PauseTiming();
        const auto* modem = driver.device().module<ktx::sim::TelitModule>();
        if (modem->records() != firmware.payloads || modem->framingErrors() != 0 || sink.transferEndUs == 0) {
            state.SkipWithError("the modem did not receive the file");
            return;
        }
        const int64_t transferUs = sink.transferEndUs - sink.transferStartUs;
        state.counters["records"] = double(firmware.payloads.size());
        state.counters["blocks"] = double(modem->blocksReceived());
        state.counters["virtual_total_s"] = double(time.monotonicUs()) / 1e6;
        state.counters["transfer_s"] = double(transferUs) / 1e6;
        state.counters["floor_wire_ack_s"] = double(floor.physicalUs) / 1e6;
        state.counters["floor_1ms_reads_s"] = double(floor.readUs) / 1e6;
        if (transferUs > floor.readUs) {
            state.SkipWithError("the transfer took longer than the protocol's floor");
            return;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TelitUpdate45MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
