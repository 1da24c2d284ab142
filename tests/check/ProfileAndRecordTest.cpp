#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check/CheckBench.h"
#include "check/Exchanges.h"
#include "check/RecordFiles.h"
#include "check/Trackers.h"

namespace ktx::check::test {
namespace {

namespace fs = std::filesystem;

TEST(CheckProfile, TheBuiltInProfileReadsWithEveryStep)
{
    Profile profile;
    std::string error;
    ASSERT_TRUE(parseProfile(defaultProfileText(), profile, error)) << error;
    std::vector<std::string> types;
    for (const StepSpec& step : profile.steps)
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
        {R"({"name": "p", "steps": [{"type": "onewire", "minSensors": 2.5}]})",
            "\"steps[0].minSensors\": expected a whole number from 0 to 64"},
        {R"({"name": "p", "steps": [{"type": "outputs", "outputs": [{"output": 1, "input": 9}]}]})",
            "\"steps[0].outputs[0].input\": expected a whole number from 1 to 8"},
        {R"({"name": "p", "steps": [{"type": "can", "values": ["speed", "rpm"]}]})",
            "\"steps[0].values[1]\": expected \"speed\" or \"engineSpeed\""},
        {R"({"name": "p", "steps": [{"type": "gnss", "latitude": 55}]})", "\"steps[0].longitude\""},
        {R"({"name": "p", "steps": [{"type": "rs485", "fuelSensors": ["1","2","3","4","5","6","7","8","9"]}]})",
            "\"steps[0].fuelSensors\": expected at most 8 addresses"},
        {R"({"name": "p", "steps": [{"type": "gsm", "optional": "yes"}]})", "\"steps[0].optional\": expected true or false"},
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
    bench.scenario.can.capture = false;
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
    EXPECT_EQ(json["outcome"], "fail");
    EXPECT_EQ(json["device"]["serial"], "77/..x");
    EXPECT_EQ(json["start"], "2026-12-09T12:00:00.000Z");
    EXPECT_EQ(json["steps"][9]["name"], "can");
    EXPECT_EQ(json["steps"][9]["outcome"], "fail");
    EXPECT_EQ(json["steps"][9]["measurements"][0]["limits"]["high"], 10.0);

    const std::string html = recordHtml(record);
    EXPECT_NE(html.find("НЕ ГОДЕН"), std::string::npos);
    // Only the failed step's rows are marked, and nothing is fetched.
    const size_t marked = [&] {
        size_t n = 0;
        for (size_t at = html.find("class=\"step bad\""); at != std::string::npos; at = html.find("class=\"step bad\"", at + 1))
            ++n;
        return n;
    }();
    EXPECT_EQ(marked, 1u);
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    const std::string junit = recordJunit(record);
    EXPECT_NE(junit.find("tests=\"11\" failures=\"1\" errors=\"0\""), std::string::npos) << junit;
    EXPECT_NE(junit.find("<testcase classname=\"korvantix-check.can\" name=\"can\""), std::string::npos);
    EXPECT_NE(junit.find("<failure"), std::string::npos);
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
