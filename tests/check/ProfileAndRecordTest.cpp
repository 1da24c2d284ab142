#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "check/CheckBench.h"
#include "check/Exchanges.h"
#include "check/RecordFiles.h"
#include "check/Trackers.h"
#include "support/FileSizeLimit.h"

namespace ktx::check::test {
namespace {

namespace fs = std::filesystem;

TEST(CheckProfile, TheBuiltInProfileReadsWithEveryStep)
{
    Profile profile;
    std::string error;
    ASSERT_TRUE(parseProfile(defaultProfileText(), profile, error)) << error;
    std::vector<std::string> types;
    for (const StepPlan& step : profile.steps)
        types.push_back(step.type);
    EXPECT_EQ(types, (std::vector<std::string>{"identification", "supply", "outputs", "counters", "gsm", "gnss", "clock",
                         "onewire", "rs485", "can", "accel"}));
    EXPECT_EQ(profile.hash, profileHash(defaultProfileText()));
    EXPECT_NE(profileHash("{}"), profileHash("{ }"));
    EXPECT_EQ(profileHash(""), "fnv1a64:cbf29ce484222325");  // the FNV-1a offset basis
}

// A profile error names the key and what was expected; the profile read
// before stays as it was.
TEST(CheckProfile, ErrorsNameTheKeyAndWhatWasExpected)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"not json", "not JSON"},
        {R"({"name": "p", "steps": [{"type": "accel", "countsPerG": 1e999}]})", "not JSON: a number out of range"},
        {"[]", "expected a JSON object"},
        {R"({"steps": [{"type": "gsm"}]})", "\"name\": expected a text"},
        {R"({"name": "p", "steps": []})", "\"steps\": expected a list of at least one step"},
        {R"({"name": "p", "steps": [7]})", "\"steps[0]\": expected an object"},
        {R"({"name": "p", "steps": [{"name": "x"}]})", "\"steps[0].type\": expected a text"},
        {R"({"name": "p", "steps": [{"type": "warp"}]})", "\"steps[0].type\": expected one of identification"},
        {R"({"name": "p", "steps": [{"type": "accel"}, {"type": "gsm", "pin": 1234}]})", "\"steps[1].pin\": expected a text"},
        {R"({"name": "p", "steps": [{"type": "supply", "supply": {"min": 9}}]})",
            "\"steps[0].supply\": expected an object with \"min\" and \"max\""},
        {R"({"name": "p", "steps": [{"type": "supply", "supply": {"min": 9, "max": 3}}]})",
            "\"steps[0].supply\": expected \"min\" not above \"max\""},
        {R"({"name": "p", "steps": [{"type": "gsm", "registrationS": -1}]})",
            "\"steps[0].registrationS\": expected a number from 0 to 600"},
        {R"({"name": "p", "steps": [{"type": "onewire", "sensors": ["a", "b"], "minSensors": 2.5}]})",
            "\"steps[0].minSensors\": expected a whole number from 0 to 2"},
        {R"({"name": "p", "steps": [{"type": "outputs", "outputs": [{"output": 1, "input": 9}]}]})",
            "\"steps[0].outputs[0].input\": expected a whole number from 1 to 8"},
        {R"({"name": "p", "steps": [{"type": "can", "values": ["speed", "rpm"]}]})",
            "\"steps[0].values[1]\": expected \"speed\" or \"engineSpeed\""},
        {R"({"name": "p", "steps": [{"type": "gnss", "latitude": 55}]})", "\"steps[0].longitude\""},
        {R"({"name": "p", "steps": [{"type": "rs485", "fuelSensors": ["1","2","3","4","5","6","7","8","9"]}]})",
            "\"steps[0].fuelSensors\": expected at most 8 addresses"},
        {R"({"name": "p", "steps": [{"type": "gsm", "optional": "yes"}]})", "\"steps[0].optional\": expected true or false"},
        // A typo, or a key of another step type, is refused with what the place takes.
        {R"({"name": "p", "steps": [{"type": "supply", "suply": {"min": 9, "max": 32}, "battery": {"min": 3, "max": 20}}]})",
            "\"steps[0].suply\": not known in a step of type supply; the keys there are type, name, optional, skip, supply, "
            "battery, ain1, ain2"},
        {R"({"name": "p", "steps": [{"type": "accel", "registrationS": 5}]})", "\"steps[0].registrationS\": not known in a step of type accel"},
        {R"({"name": "p", "stpes": []})", "\"stpes\": not known at the top of a profile; the keys there are $schema, name, steps"},
        {R"({"name": "p", "steps": [{"type": "accel", "magnitude": {"min": 1, "max": 2, "mx": 3}}]})",
            "\"steps[0].magnitude.mx\": not known in a range; the keys there are min, max"},
        {R"({"name": "p", "steps": [{"type": "outputs", "outputs": [{"output": 1, "inupt": 2}]}]})",
            "\"steps[0].outputs[0].inupt\": not known in an output's wiring"},
        // A repeated key would silently replace the first.
        {R"({"name": "p", "steps": [{"type": "accel"}, {"type": "supply", "supply": {"min": 9, "max": 32}, "supply": {"min": 0, "max": 99}}]})",
            "\"steps[1].supply\": given twice"},
        {R"({"name": "p", "name": "q", "steps": [{"type": "accel"}]})", "\"name\": given twice"},
        // The record's schema wants names.
        {R"({"name": "p", "steps": [{"type": "accel", "name": ""}]})", "\"steps[0].name\": expected a text that is not empty"},
        {R"({"name": "", "steps": [{"type": "accel"}]})", "\"name\": expected a text that is not empty"},
        // A limit with no default that passes a good tracker must be given.
        {R"({"name": "p", "steps": [{"type": "identification"}]})", "\"steps[0].firmware\": expected the firmware version range"},
        {R"({"name": "p", "steps": [{"type": "gnss", "latitude": 55, "longitude": 61}]})",
            "\"steps[0].radiusM\": expected the radius in metres"},
        {R"({"name": "p", "steps": [{"type": "supply"}]})", "\"steps[0].supply\": expected at least one of supply, battery"},
        {R"({"name": "p", "steps": [{"type": "outputs"}]})", "\"steps[0].outputs\": expected a list of at least one"},
        {R"({"name": "p", "steps": [{"type": "counters"}]})", "\"steps[0].generators\": expected a list of at least one"},
        {R"({"name": "p", "steps": [{"type": "onewire"}]})", "\"steps[0].sensors\": expected a list of at least one"},
        {R"({"name": "p", "steps": [{"type": "onewire", "sensors": ["a"], "minSensors": 2}]})",
            "\"steps[0].minSensors\": expected a whole number from 0 to 1"},
        {R"({"name": "p", "steps": [{"type": "rs485"}]})", "\"steps[0].fuelSensors\": expected a list of at least one address, or"},
        // Where the text stops being JSON, as an editor counts.
        {"{\n  \"name\": \"p\",\n  \"steps\": [\n    {\"type\": \"accel\",}\n  ]\n}", "not JSON: line 4, column 22: expected a name in double quotes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Profile profile;
        profile.name = "kept";
        std::string error;
        EXPECT_FALSE(parseProfile(c.text, profile, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(profile.name, "kept");
    }
}

// An optional limit left out has a default that passes a good tracker.
TEST(CheckProfile, OptionalLimitsDefaultToWhatAGoodTrackerPasses)
{
    Profile profile;
    std::string error;
    ASSERT_TRUE(parseProfile(R"({"name": "p", "steps": [{"type": "onewire", "sensors": ["a", "b", "c"]},
        {"type": "rs485", "extender": true}, {"type": "gnss"}]})", profile, error)) << error;
    EXPECT_EQ(profile.steps[0].minSensors, 3);
    EXPECT_EQ(profile.steps[0].temperature.low, -40);
    EXPECT_EQ(profile.steps[1].level.high, 4095);
    EXPECT_FALSE(profile.steps[2].latitude);
    EXPECT_EQ(profile.steps[2].fixS, 60);
}

TEST(CheckProfile, AProfileFileThatIsNoFileSaysWhich)
{
    Profile profile;
    std::string error;
    EXPECT_FALSE(loadProfileFile("/nonexistent/profile.json", profile, error));
    EXPECT_NE(error.find("/nonexistent/profile.json"), std::string::npos);
    EXPECT_FALSE(loadProfileFile("/tmp", profile, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

struct TempDir {
    TempDir()
    {
        char pattern[] = "/tmp/ktx-check-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string path;
};

std::string readText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

RunRecord failingRecord()
{
    CheckBench bench;
    bench.scenario.serial = "77/..x";  // a serial that is no harmless file name
    bench.scenario.power = 200;           // the supply reads low: a failure
    bench.scenario.can.capture = false;   // the CAN command goes unanswered: an error
    return bench.run();
}

TEST(CheckRecordFiles, ARunNeverOverwritesAnEarlierRecord)
{
    TempDir dir;
    const RunRecord record = failingRecord();
    const WrittenRecord first = writeRecordFiles(record, dir.path + "/records");
    const WrittenRecord second = writeRecordFiles(record, dir.path + "/records");
    ASSERT_TRUE(first.ok) << first.error;
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(fs::path(first.jsonPath).filename(), "77_._x-20261209T120000Z.json");
    EXPECT_EQ(fs::path(second.jsonPath).filename(), "77_._x-20261209T120000Z-2.json");
    EXPECT_EQ(fs::path(second.htmlPath).filename(), "77_._x-20261209T120000Z-2.html");
    EXPECT_EQ(fs::path(second.junitPath).filename(), "77_._x-20261209T120000Z-2.junit.xml");
    EXPECT_EQ(readText(first.jsonPath), readText(second.jsonPath));
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Two runs publishing under the same stem at the same moment: each keeps its
// own whole set, never the other's files nor a shared name.
TEST(CheckRecordFiles, RunsPublishingTogetherEachKeepTheirOwnWholeSet)
{
    TempDir dir;
    const std::string stem = dir.path + "/1234567-20261209T120000Z";
    for (int round = 0; round < 30; ++round) {
        PublishedSet sets[2];
        auto publish = [&](int run) {
            const std::string tag = "run " + std::to_string(run) + " round " + std::to_string(round);
            sets[run] = publishRecordSet(stem, {{".json", tag}, {".html", tag}, {".junit.xml", tag}});
        };
        std::thread other(publish, 1);
        publish(0);
        other.join();
        for (int run : {0, 1}) {
            ASSERT_TRUE(sets[run].ok) << sets[run].error;
            ASSERT_EQ(sets[run].paths.size(), 3u);
            for (const std::string& path : sets[run].paths)
                EXPECT_EQ(readText(path), "run " + std::to_string(run) + " round " + std::to_string(round)) << path;
        }
        EXPECT_NE(sets[0].paths[0], sets[1].paths[0]);
    }
    EXPECT_EQ(namesIn(dir.path).size(), 30u * 2 * 3);
}

// A set that cannot be written whole leaves nothing: no record saying "pass"
// beside a run that reports it could not be written, no temporary.
TEST(CheckRecordFiles, ASetThatCannotBeWrittenWholeLeavesNothing)
{
    TempDir dir;
    PublishedSet set;
    {
        const ktx::test::FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active());
        set = publishRecordSet(dir.path + "/r", {{".json", "{}"}, {".html", std::string(2000, 'x')}, {".junit.xml", "<a/>"}});
    }
    EXPECT_FALSE(set.ok);
    EXPECT_NE(set.error.find(dir.path + "/r.html"), std::string::npos) << set.error;
    EXPECT_EQ(namesIn(dir.path), std::vector<std::string>{});
}

// A name of the set already there (by hand, a symlink planted for it) moves
// the whole set to the next stem and is left as it was.
TEST(CheckRecordFiles, ANameTakenForOneFileMovesTheWholeSet)
{
    TempDir dir;
    std::ofstream(dir.path + "/target") << "kept";
    fs::create_symlink(dir.path + "/target", dir.path + "/r.html");
    const PublishedSet set = publishRecordSet(dir.path + "/r", {{".json", "j"}, {".html", "h"}, {".junit.xml", "x"}});
    ASSERT_TRUE(set.ok) << set.error;
    EXPECT_EQ(set.paths, (std::vector<std::string>{dir.path + "/r-2.json", dir.path + "/r-2.html", dir.path + "/r-2.junit.xml"}));
    EXPECT_EQ(namesIn(dir.path), (std::vector<std::string>{"r-2.html", "r-2.json", "r-2.junit.xml", "r.html", "target"}));
    EXPECT_EQ(readText(dir.path + "/target"), "kept");
}

// The exchange logs hold a tracker's settings: the group may read a record,
// others not.
TEST(CheckRecordFiles, RecordsAreNotWorldReadable)
{
    TempDir dir;
    const mode_t previous = ::umask(022);
    const WrittenRecord written = writeRecordFiles(failingRecord(), dir.path);
    ::umask(previous);
    ASSERT_TRUE(written.ok) << written.error;
    for (const std::string& path : {written.jsonPath, written.htmlPath, written.junitPath}) {
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u) << path;
    }
}

TEST(CheckRecordFiles, AnUnwritableFolderIsReportedWithItsPath)
{
    TempDir dir;
    const std::string file = dir.path + "/plain";
    std::ofstream(file) << "x";
    const WrittenRecord written = writeRecordFiles(failingRecord(), file);
    EXPECT_FALSE(written.ok);
    EXPECT_NE(written.error.find(file), std::string::npos) << written.error;
}

TEST(CheckRecordFiles, TheThreeFilesTellTheSameVerdict)
{
    const RunRecord record = failingRecord();
    const nlohmann::json json = nlohmann::json::parse(recordJson(record));
    EXPECT_EQ(json["outcome"], "error");
    EXPECT_EQ(json["device"]["serial"], "77/..x");
    EXPECT_EQ(json["start"], "2026-12-09T12:00:00.000Z");
    EXPECT_EQ(json["steps"][1]["outcome"], "fail");
    EXPECT_EQ(json["steps"][9]["name"], "can");
    EXPECT_EQ(json["steps"][9]["outcome"], "error");
    EXPECT_EQ(json["steps"][9]["measurements"][0]["limits"]["high"], 10.0);

    const std::string html = recordHtml(record);
    EXPECT_NE(html.find("НЕ ГОДЕН"), std::string::npos);
    // Only the failed steps' rows are marked, and nothing is fetched.
    const size_t marked = [&] {
        size_t n = 0;
        for (size_t at = html.find("class=\"step bad\""); at != std::string::npos; at = html.find("class=\"step bad\"", at + 1))
            ++n;
        return n;
    }();
    EXPECT_EQ(marked, 2u);
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    const std::string junit = recordJunit(record);
    EXPECT_NE(junit.find("tests=\"11\" failures=\"1\" errors=\"1\""), std::string::npos) << junit;
    EXPECT_NE(junit.find("<testcase classname=\"korvantix-check.can\" name=\"can\""), std::string::npos);
    EXPECT_NE(junit.find("<failure"), std::string::npos);
    EXPECT_NE(junit.find("<error message=\"no answer from the tracker\">"), std::string::npos);
}

TEST(CheckRecordFiles, DeviceTextsAreEscapedInEveryFormat)
{
    RunRecord record;
    record.device.serial = "<b>&\"'";
    record.station = "Линия 2 <тест>";
    const std::string html = recordHtml(record);
    EXPECT_EQ(html.find("<b>&\"'"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;&amp;&quot;&#39;"), std::string::npos);
    EXPECT_NE(html.find("Линия 2 &lt;тест&gt;"), std::string::npos);
    EXPECT_NE(recordJunit(record).find("name=\"&lt;b&gt;&amp;&quot;&#39;\""), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(recordJson(record))["station"], "Линия 2 <тест>");
}

// Texts from a command line or a device that are no UTF-8 never make a file
// an XML reader refuses.
TEST(CheckRecordFiles, BytesThatAreNoUtf8BecomeReplacementCharacters)
{
    RunRecord record;
    record.station = "\xc8\xe2\xe0\xed\xee\xe2";  // "Иванов" in Windows-1251
    record.operatorName = "ok \xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80";  // surrogate, overlong, past U+10FFFF
    for (const std::string& text : {recordJunit(record), recordHtml(record), recordJson(record)})
        EXPECT_TRUE(isUtf8(text));
    EXPECT_NE(recordJunit(record).find("hostname=\"\xEF\xBF\xBD"), std::string::npos);
    EXPECT_TRUE(isUtf8("Иванов ✓ 𝄞"));
    EXPECT_FALSE(isUtf8("\xc8\xe2"));
    EXPECT_EQ(wellFormedUtf8("a\xff" "b"), "a\xEF\xBF\xBD" "b");
}

// 64 temperatures and 8 fuel levels that pass fold into a row each, so the
// page stays short; a failing one keeps its own row, and the JSON keeps all.
TEST(CheckRecordFiles, RepeatedPassingMeasurementsTakeOneRowOfTheReport)
{
    RunRecord record;
    StepRecord onewire;
    onewire.name = onewire.type = "onewire";
    for (int i = 0; i < 64; ++i)
        onewire.measurements.push_back({"temperature 28ff" + std::to_string(1000 + i), 20.0 + i / 10.0, "degC",
            {-40.0, 85.0}, i == 17 ? Outcome::Fail : Outcome::Pass});
    onewire.measurements.push_back({"sensors found", 64, "", {64.0, std::nullopt}, Outcome::Pass});
    StepRecord rs485;
    rs485.name = rs485.type = "rs485";
    for (int i = 1; i <= 8; ++i)
        rs485.measurements.push_back({"fuel level " + std::to_string(i), 1000 + i, "counts", {0.0, 4095.0}, Outcome::Pass});
    record.steps = {onewire, rs485};
    const std::string html = recordHtml(record);
    size_t rows = 0;
    for (size_t at = html.find("<tr"); at != std::string::npos; at = html.find("<tr", at + 1))
        ++rows;
    // 4 header rows, then: 17 folded, the failing one, 46 folded, the count; 8 folded.
    EXPECT_EQ(rows, 5u + 4 + 1) << html;
    EXPECT_NE(html.find("<td>temperature ×17</td><td>20.0 … 21.6 degC</td><td>-40 … 85</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<td>temperature 28ff1017</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>temperature ×46</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>fuel level ×8</td><td>1001 … 1008 counts</td>"), std::string::npos) << html;
    EXPECT_EQ(nlohmann::json::parse(recordJson(record))["steps"][0]["measurements"].size(), 65u);
}

// A dashboard counts marginal trackers from the JUnit file alone.
TEST(CheckRecordFiles, AMarginalStepIsMarkedInJunit)
{
    RunRecord record;
    record.outcome = Outcome::Marginal;
    StepRecord step;
    step.name = step.type = "accel";
    step.optional = true;
    step.outcome = Outcome::Marginal;
    step.measurements.push_back({"magnitude", 0.0, "g", {0.8, 1.2}, Outcome::Fail});
    record.steps = {step};
    const std::string junit = recordJunit(record);
    EXPECT_NE(junit.find("<property name=\"marginal\" value=\"1\"/>"), std::string::npos) << junit;
    EXPECT_NE(junit.find("<property name=\"verdict\" value=\"marginal\"/>"), std::string::npos) << junit;
    EXPECT_NE(junit.find("<property name=\"outcome\" value=\"marginal\"/>"), std::string::npos) << junit;
    EXPECT_EQ(junit.find("<failure"), std::string::npos);
}

TEST(CheckExchanges, SecretsInQuotesAreMasked)
{
    const std::vector<std::string> secrets = {"1234", "s3cret"};
    EXPECT_EQ(maskSecrets("AT+CPIN=\"1234\"\r", secrets), "AT+CPIN=\"***\"\r");
    EXPECT_EQ(maskSecrets("AT#SGACT=1,1,\"user\",\"s3cret\" \"1234\"", secrets), "AT#SGACT=1,1,\"user\",\"***\" \"***\"");
    EXPECT_EQ(maskSecrets("COUNT1=1234;", secrets), "COUNT1=1234;");  // not a quoted value
}

TEST(CheckExchanges, DeviceBytesBecomeReadableText)
{
    EXPECT_EQ(readableBytes("OK\r\n"), "OK\r\n");
    EXPECT_EQ(readableBytes(std::string("1WIRE=\x28\x00\xff", 9)), "1WIRE=(\\x00я");
    EXPECT_EQ(readableBytes("\xcf\xee\xe4"), "Под");  // Windows-1251
    EXPECT_EQ(readableBytes("\x98\x7f"), "\\x98\\x7F");
    EXPECT_TRUE(nlohmann::json(readableBytes(std::string(5000, '\x01'))).dump().size() > 0);
}

TEST(CheckTrackers, ChoosingByTheSerial)
{
    const Tracker a{0, "111", "Korvantix"};
    const Tracker b{1, "222", "Korvantix"};
    struct Case {
        std::vector<Tracker> plugged;
        std::string serial;
        int chosen;  // -1: refused
        const char* error;
    };
    const Case cases[] = {
        {{}, "", -1, "no tracker is plugged in"},
        {{a}, "", 0, ""},
        {{a, b}, "", -1, "2 trackers are plugged in (serials 111 222): choose one with --serial"},
        {{a, b}, "222", 1, ""},
        {{a, b}, "333", -1, "no tracker with the serial 333 is plugged in"},
        {{a, Tracker{1, "111", "KALDERNIT"}}, "111", -1, "two trackers carry the serial 111"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        Tracker chosen;
        std::string error;
        EXPECT_EQ(chooseTracker(c.plugged, c.serial, chosen, error), c.chosen >= 0);
        if (c.chosen >= 0)
            EXPECT_EQ(chosen.index, c.chosen);
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace ktx::check::test
