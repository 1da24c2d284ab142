// The CAN reply parser, the J1939 decoding and the keyed grids, without a window.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "can/CanDecoder.h"
#include "can/CanReply.h"
#include "can/FixedText.h"
#include "CanReplyText.h"

namespace ktx::can {
namespace {

CanSlot slot(uint32_t id, uint32_t dataA, uint32_t dataB = 0xFFFFFFFF) { return {id, dataA, dataB}; }

CanView decodeOne(const CanSlot& s, CanGrids& grids, std::string_view point = ".")
{
    CanView view;
    decodeSlot(s, grids, view, point);
    return view;
}

TEST(CanReplyTest, ScanfRulesForTheFifteenLines)
{
    // White space runs of any kind (or none) between lines, either letter
    // case, sign and 0x prefix as scanf takes them; junk after line 15.
    std::string mixed = "CANTEST=18fef100.00320000.0\n\t 0CF00400 . 40000000.+1f";
    for (int i = 2; i < kSlotCount; ++i)
        mixed += " 0x1.-1.FfFfFfFf";
    mixed += "\r\ntrailing junk";
    const auto frames = parseCanReply(mixed);
    ASSERT_FALSE(frames);  // " ." : a full stop never skips white space

    mixed.replace(mixed.find(" . "), 3, ". ");
    const auto parsed = parseCanReply(mixed);
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)[0].id, 0x18FEF100u);
    EXPECT_EQ((*parsed)[0].dataA, 0x00320000u);
    EXPECT_EQ((*parsed)[1].id, 0x0CF00400u);
    EXPECT_EQ((*parsed)[1].dataB, 0x1Fu);
    EXPECT_EQ((*parsed)[14].id, 1u);
    EXPECT_EQ((*parsed)[14].dataA, 0xFFFFFFFFu);  // "-1" wraps as an unsigned int does
    EXPECT_EQ((*parsed)[14].dataB, 0xFFFFFFFFu);

    struct Case {
        const char* what;
        std::string reply;
        bool parses;
    };
    std::string fourteen = replyOf({});
    fourteen.erase(fourteen.rfind("0.0.0"));
    std::string cutByZero = replyOf({});
    cutByZero[cutByZero.size() - 4] = '\0';
    const Case cases[] = {
        {"all fifteen", replyOf({"18FEF200.1.2"}), true},
        {"only fourteen lines", fourteen, false},
        {"a zero byte ends the text", cutByZero, false},
        {"blank before the name", " " + replyOf({}), false},
        {"lower-case name", "cantest=" + replyOf({}).substr(8), false},
        {"another command's reply", "ADD_TEST=1,2,3;\r\n", false},
        {"empty", "", false},
        {"a line without its third number", replyOf({"18FEF200.1"}), false},
        {"no break after the name", "CANTEST=" + replyOf({}).substr(10), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCanReply(c.reply).has_value(), c.parses) << c.what;

    // More than 64 bits saturates before the low 32 bits are kept.
    const auto wide = parseCanReply(replyOf({"123456789.11112222333344445555.0"}));
    ASSERT_TRUE(wide);
    EXPECT_EQ((*wide)[0].id, 0x23456789u);
    EXPECT_EQ((*wide)[0].dataA, 0xFFFFFFFFu);
}

TEST(FixedTextTest, SignificantDigitsDecimalsAndTheTieRule)
{
    struct Case {
        uint64_t units;
        int scale, precision, decimals;
        const char* text;
    };
    const Case cases[] = {
        {376, 1, 3, 1, "37.6"},          // accelerator raw 94
        {1016, 1, 3, 1, "102.0"},        // raw 254: three digits, padded
        {4, 1, 3, 1, "0.4"},
        {0, 1, 3, 1, "0.0"},
        {1234875, 3, 5, 3, "1234.900"},  // engine speed raw 9879
        {1000000, 3, 5, 3, "1000.000"},
        {1000250, 3, 5, 3, "1000.300"},  // an exact half rounds up
        {1000375, 3, 5, 3, "1000.400"},
        {8191750, 3, 5, 3, "8191.800"},
        {999950, 3, 4, 2, "1000.00"},    // rounding carries into a new digit
        {125, 3, 5, 3, "0.125"},
        {21474836470, 1, 15, 1, "2147483647.0"},  // the most fuel the group carries
        {5, 2, 15, 2, "0.05"},
        {21474836470, 2, 15, 2, "214748364.70"},
        {123456, 0, 3, 1, "123000.0"},   // more integer digits than the precision
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fixedDecimal(c.units, c.scale, c.precision, c.decimals, "."), c.text) << c.units;
        std::string comma = c.text;
        if (const auto dot = comma.find('.'); dot != std::string::npos)
            comma[dot] = ',';
        EXPECT_EQ(fixedDecimal(c.units, c.scale, c.precision, c.decimals, ","), comma) << c.units;
    }
}

// Panel and ID box changes of single slots, as the monitor shows them.
TEST(CanDecoderTest, DecodedGroups)
{
    struct Case {
        const char* what;
        CanSlot slot;
        int panel;        // -1: none checked
        const char* text;
        int idBox;
        int lamp;
    };
    const Case cases[] = {
        {"speed 0x3200", slot(0x18FEF100, 0x00320000, 0), kSpeed, "50", kIdSpeed, 0},
        {"speed from another source", slot(0x18FEF117, 0x00FA0000), kSpeed, "250", kIdSpeed, 0},
        {"accelerator raw 94", slot(0x0CF00300, 0x5E00), kPedal, "37,6", kIdPedal, 1},
        {"accelerator raw 254", slot(0x0CF00300, 0xFE00), kPedal, "102,0", kIdPedal, 1},
        {"fuel used", slot(0x18FEE900, 0xFFFFFFFF, 3), kFuelUsed, "1,5", kIdFuelUsed, 2},
        {"engine speed raw 8000", slot(0x0CF00400, 0x40000000, 0x0000001F), kEngineSpeed, "1000,000", kIdEngineSpeed, 4},
        {"engine speed raw 9879", slot(0x0CF00400, 0x97000000, 0x26), kEngineSpeed, "1234,900", kIdEngineSpeed, 4},
        {"engine hours", slot(0x18FEE500, 197529), kEngineHours, "9876,45", kIdEngineHours, 6},
        {"distance", slot(0x18FEC1EE, 246913578), kDistance, "1234567890", kIdDistance, 7},
        {"distance beyond 32 bits", slot(0x18FEC1EE, 0xFFFFFFFE), kDistance, "21474836470", kIdDistance, 7},
        {"distance just past int32", slot(0x18FEC1EE, 429496730), kDistance, "2147483650", kIdDistance, 7},
        {"service raw 0", slot(0x18FEC0EE, 0x0000), kServiceDistance, "-160635", kIdServiceDistance, 8},
        {"service raw 37127", slot(0x18FEC0EE, 0x910700), kServiceDistance, "25000", kIdServiceDistance, 8},
        {"coolant", slot(0x18FEEE00, 0x2A80467D), kCoolant, "85", kIdTemperatures, 9},
        {"fuel temperature", slot(0x18FEEE00, 0x2A80467D), kFuelTemperature, "30", kIdTemperatures, 9},
        {"oil 0x2A80", slot(0x18FEEE00, 0x2A80467D), kOilTemperature, "67", kIdTemperatures, 9},
        {"oil -0.25 truncates to 0", slot(0x18FEEE00, 0x2218467D), kOilTemperature, "0", kIdTemperatures, 9},
        {"oil -1.5 truncates to -1", slot(0x18FEEE00, 0x21F0467D), kOilTemperature, "-1", kIdTemperatures, 9},
        {"coolant -40", slot(0x18FEEE00, 0xFFFFFF00), kCoolant, "-40", kIdTemperatures, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CanGrids grids;
        const CanView view = decodeOne(c.slot, grids, ",");
        ASSERT_TRUE(view.panels[static_cast<size_t>(c.panel)]);
        EXPECT_EQ(*view.panels[static_cast<size_t>(c.panel)], c.text);
        EXPECT_EQ(view.idBoxes[static_cast<size_t>(c.idBox)], hexText(c.slot.id));
        for (int lamp = 0; lamp < kLampCount; ++lamp)
            EXPECT_EQ(view.lampsPresent[static_cast<size_t>(lamp)], lamp == c.lamp) << lamp;
        EXPECT_TRUE(view.canRows.empty());
    }
}

TEST(CanDecoderTest, NotAvailableFieldsKeepTheirPanels)
{
    struct Case {
        const char* what;
        CanSlot slot;
        int panel;
        std::optional<std::string> text;  // empty: the panel is left as it is
        bool idBoxSet;
    };
    const Case cases[] = {
        {"speed FF FF shows a dash", slot(0x18FEF100, 0x00FFFF00), kSpeed, "-", true},
        {"accelerator FF", slot(0x0CF00300, 0xFF00), kPedal, {}, true},
        {"fuel used FFFFFFFF", slot(0x18FEE900, 0, 0xFFFFFFFF), kFuelUsed, {}, true},
        {"engine speed FF FF", slot(0x0CF00400, 0xFF000000, 0xFF), kEngineSpeed, {}, true},
        {"engine hours", slot(0x18FEE500, 0xFFFFFFFF), kEngineHours, {}, true},
        {"distance", slot(0x18FEC1EE, 0xFFFFFFFF), kDistance, {}, true},
        {"service FF FF", slot(0x18FEC0EE, 0xFFFF00), kServiceDistance, {}, true},
        {"oil FF FF", slot(0x18FEEE00, 0xFFFF0000), kOilTemperature, {}, true},
        {"fuel temperature FF", slot(0x18FEEE00, 0x0000FF00), kFuelTemperature, {}, true},
        {"coolant FF: no ID in CAN10 either", slot(0x18FEEE00, 0x000000FF), kCoolant, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CanGrids grids;
        const CanView view = decodeOne(c.slot, grids);
        EXPECT_EQ(view.panels[static_cast<size_t>(c.panel)], c.text);
        int box = 0;
        for (; box < kIdBoxCount && !view.idBoxes[static_cast<size_t>(box)]; ++box) {
        }
        EXPECT_EQ(box < kIdBoxCount, c.idBoxSet);
        EXPECT_EQ(std::count(view.lampsPresent.begin(), view.lampsPresent.end(), true), 1);
    }

    // A later slot of the same group whose value is missing keeps the
    // earlier slot's text.
    CanFrames frames{};
    frames[0] = slot(0x0CF00300, 0x5E00);
    frames[1] = slot(0x0CF00301, 0xFF00);
    CanGrids grids;
    const CanView view = decodeFrames(frames, grids, ".");
    EXPECT_EQ(view.panels[kPedal], "37.6");
    EXPECT_EQ(view.idBoxes[kIdPedal], "0CF00301");
}

TEST(CanDecoderTest, TwoBitSwitchStates)
{
    // Byte 4: cruise in bits 1-2, brake in 5-6, clutch in 7-8.
    struct Case {
        uint32_t byte4;
        std::optional<bool> cruise, brake, clutch;
    };
    const Case cases[] = {
        {0x00, false, false, false},
        {0x51, true, true, true},
        {0xA2, false, false, false},  // 2 is an error state: clear
        {0xF3, {}, {}, {}},           // 3 is not available: unchanged
        {0x3D, true, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byte4);
        CanGrids grids;
        const CanView view = decodeOne(slot(0x18FEF100, c.byte4 << 24 | 0x003200), grids);
        EXPECT_EQ(view.switches[kCruise], c.cruise);
        EXPECT_EQ(view.switches[kBrake], c.brake);
        EXPECT_EQ(view.switches[kClutch], c.clutch);
    }
}

TEST(CanDecoderTest, FuelLevelRowsPerIdentifier)
{
    CanGrids grids;
    CanFrames frames{};
    frames[0] = slot(0x18FEFC17, 0xFFFFBEFF);  // 190 × 0.4
    frames[1] = slot(0x18FEFC21, 0xFFFFFFFF);  // no level
    frames[2] = slot(0x18FEFC17, 0xFFFFBCFF);  // the same sensor again
    const CanView view = decodeFrames(frames, grids, ",");
    ASSERT_EQ(view.fuelRows.size(), 3u);
    EXPECT_EQ(view.fuelRows[0].row, 1);
    EXPECT_TRUE(view.fuelRows[0].added);
    EXPECT_EQ(view.fuelRows[0].cells[0], "18FEFC17");
    EXPECT_EQ(view.fuelRows[0].cells[1], "76,0");
    EXPECT_EQ(view.fuelRows[0].cells[2], "190");
    EXPECT_EQ(view.fuelRows[1].row, 2);
    EXPECT_EQ(view.fuelRows[1].cells[1], "no level");
    EXPECT_EQ(view.fuelRows[1].cells[2], "255");
    EXPECT_EQ(view.fuelRows[2].row, 1);
    EXPECT_FALSE(view.fuelRows[2].added);
    EXPECT_FALSE(view.fuelRows[2].cells[0]);
    EXPECT_EQ(view.fuelRows[2].cells[1], "75,2");
    EXPECT_TRUE(view.lampsPresent[3]);
    EXPECT_EQ(grids.fuelGrid.rowCount(), 3);
}

TEST(CanDecoderTest, VehicleWeightCellsAndDefaultLabel)
{
    struct Case {
        uint32_t dataA;
        int row, column;  // -1: LabelDefault
        const char* text;
    };
    const Case cases[] = {
        {0xFF1F4021, 2, 1, "4000"},
        {0xFF1F40F1, -1, -1, "4000"},   // axle 15: location not available
        {0xFF1F402F, -1, -1, "4000"},   // position 15
        {0xFFFFFF21, -1, -1, "32767"},  // weight not available
        {0xFF000000, 0, 0, "0"},        // axle and position 0: the corner cell
        {0xFF1F40E5, 14, 5, "4000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataA);
        CanGrids grids;
        const CanView view = decodeOne(slot(0x18FEEA2F, c.dataA), grids);
        ASSERT_EQ(view.axisRows.size(), 1u);
        EXPECT_EQ(view.axisRows[0].cells[0], "18FEEA2F");
        EXPECT_TRUE(view.lampsPresent[5]);
        if (c.row < 0) {
            EXPECT_EQ(view.labelDefault, c.text);
            EXPECT_TRUE(view.weightCells.empty());
        } else {
            ASSERT_EQ(view.weightCells.size(), 1u);
            EXPECT_EQ(view.weightCells[0].row, c.row);
            EXPECT_EQ(view.weightCells[0].column, c.column);
            EXPECT_EQ(view.weightCells[0].text, c.text);
            EXPECT_FALSE(view.labelDefault);
        }
    }
}

TEST(CanDecoderTest, UndecodedGroupsGrowAndRewriteTheirRows)
{
    CanGrids grids;
    grids.canGrid.setKey(0, "ID");
    CanView first = decodeOne(slot(0x18FEF200, 1, 2), grids);
    ASSERT_EQ(first.canRows.size(), 1u);
    EXPECT_EQ(first.canRows[0].row, 1);
    EXPECT_TRUE(first.canRows[0].added);
    EXPECT_EQ(first.canRows[0].cells[0], "18FEF200");
    EXPECT_EQ(first.canRows[0].cells[1], "00000001");
    EXPECT_EQ(first.canRows[0].cells[2], "00000002");
    EXPECT_FALSE(std::count(first.lampsPresent.begin(), first.lampsPresent.end(), true));

    const CanView again = decodeOne(slot(0x18FEF200, 0xABCDEF, 0xFFFFFFFF), grids);
    ASSERT_EQ(again.canRows.size(), 1u);
    EXPECT_EQ(again.canRows[0].row, 1);
    EXPECT_FALSE(again.canRows[0].added);
    EXPECT_EQ(again.canRows[0].cells[1], "00ABCDEF");
    EXPECT_EQ(again.canRows[0].cells[2], "FFFFFFFF");

    // PGN 0 changes nothing; the same PGN from another source is its own row.
    EXPECT_TRUE(decodeOne(slot(0x00000001, 5, 6), grids).canRows.empty());
    EXPECT_TRUE(decodeOne(slot(0xFF0000FF, 5, 6), grids).canRows.empty());
    EXPECT_EQ(decodeOne(slot(0x18FEF217, 0, 0), grids).canRows[0].row, 2);
    EXPECT_EQ(grids.canGrid.rowCount(), 3);
}

TEST(KeyedRowsTest, HandEditsDecideWhichRowAFrameFinds)
{
    KeyedRows rows;
    rows.setKey(0, "ID");
    EXPECT_EQ(rows.append("18FEF200"), 1);
    EXPECT_EQ(rows.append("18FEF500"), 2);
    EXPECT_EQ(rows.find("18FEF200"), 1);

    // The key edited away: the next frame adds a row.
    rows.setKey(1, "18fef200");
    EXPECT_EQ(rows.find("18FEF200"), -1);
    EXPECT_EQ(rows.append("18FEF200"), 3);
    // Two rows with one text: the first from the top wins, also the header row.
    rows.setKey(2, "18FEF200");
    EXPECT_EQ(rows.find("18FEF200"), 2);
    rows.setKey(0, "18FEF200");
    EXPECT_EQ(rows.find("18FEF200"), 0);
    rows.setKey(0, "ID");
    rows.setKey(2, "");
    EXPECT_EQ(rows.find("18FEF200"), 3);
    rows.setKey(7, "18FEF200");  // no such row
    EXPECT_EQ(rows.rowCount(), 4);
    EXPECT_EQ(rows.find("18FEF200"), 3);
}

}  // namespace
}  // namespace ktx::can

namespace ktx::can {
namespace {

TEST(CanPlotTest, SpeedAndEngineSpeedAsNumbersOrGaps)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        CanSlot slot;
        double speedKmh;
        double engineRpm;
    };
    const Case cases[] = {
        // Speed: bytes 2-3, 1/256 km/h; the panel shows whole km/h only.
        {"88.5 km/h", slot(0x18FEF100, 0x00588000), 88.5, none},
        {"speed not available", slot(0x18FEF100, 0x00FFFF00), none, none},
        {"zero speed is a value", slot(0x18FEF100, 0x00000000), 0, none},
        // Engine speed: bytes 4-5, 0.125 rpm.
        {"1350 rpm", slot(0x0CF00400, 0x30000000, 0x0000002A), none, 1350.0},
        {"rpm not available", slot(0x0CF00400, 0xFF000000, 0x000000FF), none, none},
        {"another group", slot(0x18FEE500, 0x00001000), none, none},
    };
    for (const Case& c : cases) {
        CanGrids grids;
        const auto plotted = plottedDrive(decodeOne(c.slot, grids));
        for (size_t i = 0; i < 2; ++i) {
            const double expected = i == 0 ? c.speedKmh : c.engineRpm;
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(plotted[i])) << c.what << ": " << plotted[i];
            else
                EXPECT_EQ(plotted[i], expected) << c.what;
        }
    }
    // A reply that did not parse: a gap in both curves.
    const auto failed = plottedDrive(std::nullopt);
    EXPECT_TRUE(std::isnan(failed[0]) && std::isnan(failed[1]));
}

}  // namespace
}  // namespace ktx::can
