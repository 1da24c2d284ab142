#include <sys/stat.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/Scenario.h"

namespace ktx::sim {
namespace {

TEST(Scenario, DefaultsAreAUsableTracker)
{
    const Scenario s = defaultScenario();
    EXPECT_EQ(s.description, "Korvantix");
    EXPECT_EQ(s.serial, "1234567");
    EXPECT_EQ(s.version.size(), 10u) << "the console reads exactly ten bytes";
    Scenario parsed;
    std::string error;
    ASSERT_TRUE(parseScenario("{}", parsed, error)) << error;
    EXPECT_EQ(parsed.version, s.version);
    EXPECT_EQ(parsed.latencyMs, 5);
    EXPECT_EQ(parsed.chunkBytes, 64);
    EXPECT_EQ(parsed.chunkIntervalUs, 1000);
}

TEST(Scenario, ReadsEveryKeyAndIgnoresUnknownOnes)
{
    const char* json = R"({
        "description": "KALDERNIT", "serial": "42", "version": "DRAL-5.12 ",
        "latencyMs": 0, "chunkBytes": 8, "chunkIntervalUs": 0,
        "power": 1023, "battery": 0, "ain1": 1, "ain2": 2,
        "inputs": [1, 0, true, false, 0, 0, 0, 1],
        "counterRates": [0, 1.5, 2, 3, 4, 5, 6, 1000000],
        "noise": 0, "seed": 18446744073709551615, "deviceTime": false, "deviceTimeStartMs": 5,
        "longAddTest": false, "comment": ["anything", {"goes": 1}],
        "faults": {"silent": true, "shortReplies": 0.25, "garbage": false, "unplugAtMs": 3000,
                   "replugAtMs": 8000, "shortVersionReplies": -1, "future": 1}
    })";
    Scenario s;
    std::string error;
    EXPECT_FALSE(parseScenario(json, s, error)) << "seed above the signed 64-bit range";
    EXPECT_NE(error.find("seed"), std::string::npos) << error;

    std::string fixed = json;
    fixed.replace(fixed.find("18446744073709551615"), 20, "9");
    ASSERT_TRUE(parseScenario(fixed, s, error)) << error;
    EXPECT_EQ(s.description, "KALDERNIT");
    EXPECT_EQ(s.serial, "42");
    EXPECT_EQ(s.version, "DRAL-5.12 ");
    EXPECT_EQ(s.latencyMs, 0);
    EXPECT_EQ(s.chunkBytes, 8);
    EXPECT_EQ(s.power, 1023);
    EXPECT_EQ(s.inputs, (std::array<int, 8>{1, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_DOUBLE_EQ(s.counterRates[1], 1.5);
    EXPECT_EQ(s.seed, 9u);
    EXPECT_FALSE(s.deviceTime);
    EXPECT_EQ(s.deviceTimeStartMs, 5);
    EXPECT_FALSE(s.longAddTest);
    EXPECT_DOUBLE_EQ(s.faults.silent, 1.0);
    EXPECT_DOUBLE_EQ(s.faults.shortReplies, 0.25);
    EXPECT_DOUBLE_EQ(s.faults.garbage, 0.0);
    EXPECT_EQ(s.faults.unplugAtMs, 3000);
    EXPECT_EQ(s.faults.replugAtMs, 8000);
    EXPECT_EQ(s.faults.shortVersionReplies, -1);
}

// A file that isn't JSON: where (line, column) and what was wanted, in words,
// without the parser's own wording.
TEST(Scenario, SyntaxErrorsNameTheLineTheColumnAndWhatWasExpected)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1, column 1: expected a value (a number, a text in double quotes, true, false, null, [ or {), "
             "found the end of the file"},
        {"{\"power\": 5", "line 1, column 12: expected a comma or a closing brace, found the end of the file"},
        {"{\"power\": 5}}", "line 1, column 13: expected nothing more after the last closing brace, found '}'"},
        {"{\n  \"power\": 5,\n  \"serial\" \"1\"\n}", "line 3, column 12: expected a colon after the name, found '\"'"},
        {"{\n  power: 5\n}", "line 2, column 3: expected a name in double quotes, found 'p'"},
        {"{\"inputs\": [1, 0\n}", "line 2, column 1: expected a comma or a closing bracket, found '}'"},
        {"{\"power\": }", "line 1, column 11: expected a value (a number, a text in double quotes, true, false, "
                         "null, [ or {), found '}'"},
    };
    for (const auto& [json, message] : cases) {
        Scenario s = defaultScenario();
        std::string error;
        EXPECT_FALSE(parseScenario(json, s, error)) << json;
        EXPECT_EQ(error, "not valid JSON: " + message) << json;
    }
}

TEST(Scenario, BadInputIsRejectedWithAMessageNamingTheFault)
{
    struct Case {
        std::string json;
        const char* mention;
    };
    const std::vector<Case> cases = {
        {"", "not valid JSON"},
        {"{\"power\": 5", "not valid JSON"},
        {"{\"power\": 5}}", "not valid JSON"},
        {"[1, 2]", "expected a JSON object"},
        {"\"text\"", "expected a JSON object"},
        {"{\"power\": \"555\"}", "power"},
        {"{\"power\": 1024}", "power"},
        {"{\"power\": -1}", "power"},
        {"{\"power\": 5.5}", "power"},
        {"{\"latencyMs\": 1e9}", "latencyMs"},
        {"{\"chunkBytes\": 0}", "chunkBytes"},
        {"{\"serial\": 1234567}", "serial"},
        {"{\"serial\": \"" + std::string(127, '9') + "\"}", "serial"},
        {"{\"version\": \"" + std::string(64, 'V') + "\"}", "version"},
        {"{\"inputs\": [1, 0, 1]}", "inputs"},
        {"{\"inputs\": [1, 0, 1, 0, 0, 0, 0, 2]}", "inputs[7]"},
        {"{\"inputs\": {\"0\": 1}}", "inputs"},
        {"{\"counterRates\": [0, 0, 0, 0, 0, 0, 0, -1]}", "counterRates[7]"},
        {"{\"counterRates\": [0, 0, 0, 0, 0, 0, 0, null]}", "counterRates[7]"},
        {"{\"deviceTime\": 1}", "deviceTime"},
        {"{\"deviceTimeStartMs\": 0}", "deviceTimeStartMs"},
        {"{\"faults\": true}", "faults"},
        {"{\"faults\": {\"silent\": 2}}", "faults.silent"},
        {"{\"faults\": {\"garbage\": \"yes\"}}", "faults.garbage"},
        {"{\"faults\": {\"unplugAtMs\": -5}}", "faults.unplugAtMs"},
        {"{\"faults\": {\"replugAtMs\": 100}}", "faults.replugAtMs: expected a time after faults.unplugAtMs"},
        {"{\"faults\": {\"unplugAtMs\": 100, \"replugAtMs\": 100}}", "faults.replugAtMs"},
        {"{\"faults\": {\"shortVersionReplies\": 1.5}}", "faults.shortVersionReplies"},
        {std::string(100000, '[') + std::string(100000, ']'), "nested"},
        {"{\"x\": \"" + std::string(kMaxScenarioBytes, 'a') + "\"}", "larger than"},
        {std::string("{\"power\": \x01\xff}"), "not valid JSON"},
    };
    for (const auto& c : cases) {
        Scenario s = defaultScenario();
        s.power = 111;
        std::string error;
        EXPECT_FALSE(parseScenario(c.json, s, error)) << c.json.substr(0, 80);
        EXPECT_NE(error.find(c.mention), std::string::npos) << c.json.substr(0, 80) << " -> " << error;
        EXPECT_EQ(s.power, 111) << "a failed parse leaves the scenario alone";
        for (const char ch : error)
            EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "printable message: " << error;
    }
}

TEST(Scenario, LoadsFilesAndTheShippedScenarios)
{
    Scenario s;
    std::string error;
    EXPECT_FALSE(loadScenarioFile("no/such/scenario.json", s, error));
    EXPECT_EQ(error, "no/such/scenario.json: No such file or directory");

    const auto big = std::filesystem::temp_directory_path() / "ktx_sim_big_scenario.json";
    {
        std::ofstream out(big, std::ios::binary);
        out << "{\"pad\": \"" << std::string(kMaxScenarioBytes + 10, ' ') << "\"}";
    }
    EXPECT_FALSE(loadScenarioFile(big.string(), s, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
    std::filesystem::remove(big);

    // A FIFO in the file's place is refused at once instead of waiting for a writer.
    const auto fifo = std::filesystem::temp_directory_path() / "ktx_sim_fifo_scenario.json";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(loadScenarioFile(fifo.string(), s, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    std::filesystem::remove(fifo);

    const auto shipped = std::filesystem::path(__FILE__).parent_path() / "../../sim/scenarios";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(shipped)) {
        ASSERT_TRUE(loadScenarioFile(entry.path().string(), s, error)) << error;
        ++files;
    }
    EXPECT_GE(files, 2);
}

}  // namespace
}  // namespace ktx::sim
