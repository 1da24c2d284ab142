// The supply, battery and AIN volts plot of the "Входы и выходы" tab: what a
// run exports reads back as the polled values, a missing value is a gap,
// and eight hours of polls leave memory where it was.
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <malloc.h>

#include "base/SampleCsv.h"
#include "widgets/LivePlotPanel.h"
#include "io/IoFixture.h"
#include "io/StatusDisplay.h"
#include "io/ui/InputsTab.h"
#include "sim/SimDriver.h"
#include "support/CsvRows.h"
#include "support/FileBytes.h"

namespace ktx {
namespace {

constexpr double kNone = kNoValue;

struct PollCase {
    const char* deviceTest;  // the DEVICE_TEST reply; empty: the device stays silent
    std::array<double, 4> volts;  // supply, battery, AIN1, AIN2 as plotted
};

struct InputsPlotTest : ::testing::Test, io::test::IoBench {
    InputsTab tab{context};
    QTimer& timer1 = *tab.findChild<QTimer*>("Timer1");
    QTimer& timer6 = *tab.findChild<QTimer*>("Timer6");
};

TEST_F(InputsPlotTest, TheCsvOfARunReadsBackAsThePolledValues)
{
    device.version = 57;  // supply volts from the polynomial
    const double supply555 = double(io::supplyVolts(555));
    const PollCase run[] = {
        {"555,1,0,100,200,5,6,700,10,tt=1234\r\n", {supply555, double(io::supplyVolts(700)), 0.0081302 * 100, 0.023451 * 200}},
        {"ERROR\r\n", {kNone, kNone, kNone, kNone}},
        {"", {kNone, kNone, kNone, kNone}},
        // Four fields: supply and AIN1 are this poll's, the rest are not.
        {"556,1,0,123\r\n", {double(io::supplyVolts(556)), kNone, 0.0081302 * 123, kNone}},
        {"0,0,0,0,0,0,0,0,0\r\n", {0, 0, 0, 0}},  // a real zero stays a zero
    };
    std::vector<std::string> times;
    for (const PollCase& poll : run) {
        time.advanceMs(200);
        answer("DEVICE_TEST,0,0$", poll.deviceTest, "ADD_TEST=1,2,0,1,0,0,0,777;\r\n");
        if (!*poll.deviceTest)
            driver.onCommand("DEVICE_TEST,0,0$", {});
        tab.ButtonWorkClick();
        times.push_back(isoUtcText(time.wallClockUtcMs()));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    ASSERT_TRUE(tab.plot()->saveCsv(path)) << path.toStdString();
    std::string header;
    const std::vector<test::CsvRow> rows = test::csvRows(test::readBytes(path.toStdString()), &header);
    EXPECT_EQ(header, "time_utc,Питание,Аккумулятор,Аналог. 1,Аналог. 2");
    ASSERT_EQ(rows.size(), std::size(run));
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].time, times[i]);
        ASSERT_EQ(rows[i].values.size(), 4u);
        for (size_t series = 0; series < 4; ++series) {
            const double read = rows[i].values[series];
            const double expected = run[i].volts[series];
            SCOPED_TRACE(testing::Message() << "poll " << i << " series " << series);
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(read)) << read;
                continue;
            }
            EXPECT_NEAR(read, expected, 1e-9);
            EXPECT_EQ(read, tab.plot()->ring().valueAt(i, series));  // not a digit lost on the way
        }
    }
}

// Keeps nothing: eight hours of data log lines would hide the plot's memory.
struct DiscardingSink : LogSink {
    int debugLevel() const override { return 0; }
    void debugLine(std::string_view) override {}
    void modemLine(std::string_view) override {}
    void rs485Line(std::string_view) override {}
    void telitLine(std::string_view) override {}
    void streamLine(std::string_view, std::string_view, std::string_view) override {}
};

TEST(InputsPlotShiftTest, EightHoursOfPollsKeepTheMemoryFlat)
{
    VirtualTimeSource time;
    sim::Scenario scenario = sim::defaultScenario();
    scenario.faults.silent = 0.02;  // a few failed polls: gaps along the way
    sim::SimDriver simulator(time, scenario);
    UsbLink link(simulator, time);
    DiscardingSink log;
    DeviceInfo device;
    device.version = 57;
    AppContext context{link, time, log, device};
    QWidget window;
    InputsTab tab(context, &window);
    window.show();
    tab.plot()->setWanted(true);
    const SampleRing& ring = tab.plot()->ring();

    constexpr int kPollMs = 200;
    constexpr int kPollsPerHour = 3600 * 1000 / kPollMs;
    size_t heapAfterFirstHour = 0;
    size_t gaps = 0;
    for (int hour = 0; hour < 8; ++hour) {
        for (int i = 0; i < kPollsPerHour; ++i) {
            time.advanceMs(kPollMs);
            tab.ButtonWorkClick();
            gaps += std::isnan(ring.valueAt(ring.size() - 1, 0)) ? 1 : 0;
        }
        tab.plot()->flush();  // what the screen would show at this moment
        if (hour == 0)
            heapAfterFirstHour = mallinfo2().uordblks;

    }
    const size_t heapAtTheEnd = mallinfo2().uordblks;
    EXPECT_EQ(ring.appended(), size_t(8 * kPollsPerHour));
    EXPECT_EQ(ring.size(), ring.capacity());
    EXPECT_LE(ring.capacity(), 2000u);  // 60 s at 200 ms with headroom, not 8 hours
    EXPECT_GT(gaps, 0u);
    RecordProperty("ring_bytes", std::to_string(ring.heapBytes()));
    RecordProperty("heap_growth_bytes", std::to_string(int64_t(heapAtTheEnd) - int64_t(heapAfterFirstHour)));
    // Seven more hours of polls: no more than a few kilobytes of allocator noise.
    EXPECT_LT(int64_t(heapAtTheEnd) - int64_t(heapAfterFirstHour), 64 * 1024)
        << "after 1 h " << heapAfterFirstHour << " bytes, after 8 h " << heapAtTheEnd;
}

}  // namespace
}  // namespace ktx
