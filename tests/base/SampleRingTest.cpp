// The live plots' ring of samples and its CSV export.
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

#include "base/SampleCsv.h"
#include "base/SampleRing.h"
#include "support/CsvRows.h"

namespace ktx {
namespace {

SampleTime at(int64_t ms) { return {ms, 1796817600000LL + ms}; }

std::vector<double> row(const SampleRing& ring, size_t index)
{
    std::vector<double> values;
    for (size_t series = 0; series < ring.seriesCount(); ++series)
        values.push_back(ring.valueAt(index, series));
    return values;
}

TEST(SampleRingTest, KeepsTheNewestSamplesInOrderOnceFull)
{
    SampleRing ring(2, 3);
    for (int i = 1; i <= 5; ++i)
        ring.append(at(i * 100), std::vector<double>{double(i), -double(i)});
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(ring.appended(), 5u);
    for (size_t index = 0; index < 3; ++index) {
        const double expected = double(index + 3);
        EXPECT_EQ(ring.timeAt(index).monotonicMs, int64_t(expected) * 100);
        EXPECT_EQ(row(ring, index), (std::vector<double>{expected, -expected}));
    }
    ring.clear();
    EXPECT_TRUE(ring.empty());
    ring.append(at(900), std::vector<double>{9, 9});
    EXPECT_EQ(ring.timeAt(0).monotonicMs, 900);
}

TEST(SampleRingTest, GapsAndMissingValuesAreNaNNotZero)
{
    SampleRing ring(3, 8);
    ring.append(at(0), std::vector<double>{1, 2, 3});
    ring.appendGap(at(100));
    ring.append(at(200), std::vector<double>{4});               // the others missing
    ring.append(at(300), std::vector<double>{5, 6, 7, 8, 9});  // extra ones ignored
    const double n = kNoValue;
    const std::vector<std::vector<double>> expected = {{1, 2, 3}, {n, n, n}, {4, n, n}, {5, 6, 7}};
    ASSERT_EQ(ring.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index)
        for (size_t series = 0; series < 3; ++series)
            EXPECT_TRUE(test::sameSample(ring.valueAt(index, series), expected[index][series]))
                << "sample " << index << " series " << series;
}

TEST(SampleRingTest, MemoryIsFixedAtConstruction)
{
    SampleRing ring(8, 9604);
    const size_t bytes = ring.heapBytes();
    EXPECT_GE(bytes, 9604u * (8 * sizeof(double) + sizeof(SampleTime)));
    for (int i = 0; i < 200'000; ++i)
        ring.append(at(i), std::vector<double>(8, i));
    EXPECT_EQ(ring.heapBytes(), bytes);
    EXPECT_EQ(ring.size(), ring.capacity());
}

TEST(SampleCsvTest, IsoTimesInUtc)
{
    struct Case {
        int64_t ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1796817600250LL, "2026-12-09T12:00:00.250Z"},
        {951782400999LL, "2000-02-29T00:00:00.999Z"},
        {1735689599001LL, "2024-12-31T23:59:59.001Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isoUtcText(c.ms), c.text) << c.ms;
}

TEST(SampleCsvTest, ReadsBackExactlyUnderADecimalCommaLocale)
{
    // A Russian C locale (decimal comma) must not reach the file.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const bool russian = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
    SampleRing ring(3, 8);
    const std::vector<std::vector<double>> values = {
        {12.95, 0.1 + 0.2, -3.5}, {1e-7, 123456789.125, 0}, {kNoValue, 4.5, kNoValue}};
    for (size_t i = 0; i < values.size(); ++i)
        ring.append(at(int64_t(i) * 200), values[i]);
    ring.appendGap(at(600));
    const std::string csv = samplesCsv(ring, {"Питание", "AIN \"1\", В", "z"});
    std::setlocale(LC_NUMERIC, previous.c_str());
    if (!russian)
        GTEST_LOG_(INFO) << "ru_RU.UTF-8 missing: checked under the C locale only";

    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "time_utc,Питание,\"AIN \"\"1\"\", В\",z");
    EXPECT_EQ(csv.find(';'), std::string::npos);
    const std::vector<test::CsvRow> rows = test::csvRows(csv);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].time, "2026-12-09T12:00:00.200Z");
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(rows[i].values.size(), 3u);
        for (size_t series = 0; series < 3; ++series)
            EXPECT_TRUE(test::sameSample(rows[i].values[series], values[i][series]))
                << "row " << i << " series " << series << ": " << rows[i].values[series];
    }
    EXPECT_EQ(csv.substr(csv.rfind("2026")), "2026-12-09T12:00:00.600Z,,,\r\n");  // a gap: empty fields
}

}  // namespace
}  // namespace ktx
