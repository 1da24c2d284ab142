// Reading the device's own network settings: values, not-set forms, the
// access-point scanner, the version gate.
#include <gtest/gtest.h>

#include "gsm/DeviceSettings.h"
#include "gsm/GsmBench.h"

namespace ktx::gsm {
namespace {

using test::GsmBench;

TEST(DeviceSettingsTest, ValuesLoseTheirTerminatorAndNotSetFormsEmpty)
{
    struct Case {
        std::string reply, prefix, notSet;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"PIN=1234;", "PIN=", "\xFF\xFF\xFF\xFF", "1234"},
        {"PIN=\xFF\xFF\xFF\xFF;", "PIN=", "\xFF\xFF\xFF\xFF", ""},
        {"PIN=\xFF\xFF\xFF;", "PIN=", "\xFF\xFF\xFF\xFF", "\xFF\xFF\xFF"},  // only the exact form means erased
        {"PIN=;", "PIN=", "\xFF\xFF\xFF\xFF", ""},
        {"PIN=", "PIN=", "\xFF\xFF\xFF\xFF", ""},       // terminator missing: the cut eats into the prefix
        {"PIN=12\n", "PIN=", "\xFF\xFF\xFF\xFF", "12"},  // whatever the last byte is
        {"IP=255.255.255.255;", "IP=", "255.255.255.255", ""},
        {"IP=192.0.2.1;", "IP=", "255.255.255.255", "192.0.2.1"},
        {"PORT=-1;", "PORT=", "-1", ""},
        {"PORT=5050;", "PORT=", "-1", "5050"},
        {"PORT=-10;", "PORT=", "-1", "-10"},
        {"XPORT=1;", "PORT=", "-1", std::nullopt},
        {"", "PORT=", "-1", std::nullopt},
        {std::string("PIN=1\0" "9;", 7), "PIN=", "", "1"},  // text ends at a zero byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(takeSettingValue(c.reply, c.prefix, c.notSet), c.value) << c.reply;
}

TEST(DeviceSettingsTest, AccessPointScanner)
{
    struct Case {
        const char* reply;
        bool used;
        const char* name;
        const char* user;
        const char* password;
    };
    const std::string longName(60, 'n');
    const std::string longReply = "APNFULL=\"" + longName + "\",\"" + std::string(40, 'u') + "\",\"p\";";
    const Case cases[] = {
        {"APNFULL=\"internet\",\"gprs\",\"secret\";", true, "internet", "gprs", "secret"},
        {"APNFULL=\"internet\",\"(null)\",\"(null)\";", true, "internet", "", ""},
        {"APNFULL=\"internet\";", true, "internet", "", ""},
        {"APNFULL=\"internet\",\"us", true, "internet", "u", ""},  // the last byte is cut first
        {"APNFULL=\"a\" junk \"b\";\"c\";", true, "a", "b", "c"},
        {"APNFULL=\"\",\"\",\"\";", true, "", "", ""},
        {"APNFULL=internet,\"u\",\"p\";", false, "", "", ""},
        {"APNFULL=\";", true, "", "", ""},
        {"APNFULL=\"", false, "", "", ""},  // the quote is the byte cut as the terminator
        {"APN=\"x\";", false, "", "", ""},
        {longReply.c_str(), true, longName.c_str(), "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu", "p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const auto point = scanAccessPoint(c.reply);
        ASSERT_EQ(point.has_value(), c.used);
        if (!c.used)
            continue;
        EXPECT_EQ(point->name, c.name);
        EXPECT_EQ(point->user, c.user);
        EXPECT_EQ(point->password, c.password);
    }
}

TEST(DeviceSettingsTest, QueriesInOrderOverAFastLink)
{
    GsmBench bench;
    bench.device.version = 50;
    bench.answer("GPIN;$", "PIN=\xFF\xFF\xFF\xFF;");
    bench.answer("GAPNFULL;$", "APNFULL=\"inet\",\"(null)\",\"pw\";");
    bench.answer("GIP;$", "IP=10.0.0.9;");
    bench.answer("GPORT;$", "NONSENSE");
    const DeviceSettings found = ReadDeviceSettings(bench.context);
    EXPECT_EQ(bench.driver.writes(), (std::vector<std::string>{"GPIN;$", "GAPNFULL;$", "GIP;$", "GPORT;$"}));
    EXPECT_EQ(found.pin, "");
    ASSERT_TRUE(found.accessPoint);
    EXPECT_EQ(found.accessPoint->name, "inet");
    EXPECT_EQ(found.accessPoint->user, "");
    EXPECT_EQ(found.accessPoint->password, "pw");
    EXPECT_EQ(found.ip, "10.0.0.9");
    EXPECT_FALSE(found.port);
    const std::vector<std::string> lines = bench.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "Считывание настроек из прибора");
    EXPECT_EQ(lines[3], ": APNFULL=\"inet\",\"(null)\",\"pw\";");
    EXPECT_EQ(lines[5], ": NONSENSE");
    const auto& timeouts = bench.driver.calls()[2];
    EXPECT_EQ(timeouts.name, "FT_SetTimeouts");
    EXPECT_EQ(timeouts.args.at(0), 1);  // fast open
    EXPECT_EQ(bench.view.pollStops, 0);
}

TEST(DeviceSettingsTest, OldOrUnknownFirmwareIsNotAsked)
{
    for (int version : {0, 49}) {
        GsmBench bench;
        bench.device.version = version;
        const DeviceSettings found = ReadDeviceSettings(bench.context);
        EXPECT_EQ(bench.lines(), (std::vector<std::string>{"---------------------", "Считывание настроек из прибора",
                                     "Считывание настроек в этой версии прибора не поддерживается!"}));
        EXPECT_TRUE(bench.driver.calls().empty());
        EXPECT_FALSE(found.pin || found.accessPoint || found.ip || found.port);
    }
    GsmBench unplugged;
    unplugged.device.version = 57;
    unplugged.driver.failCall("FT_Open");
    ReadDeviceSettings(unplugged.context);
    EXPECT_EQ(unplugged.lines().size(), 2u);
}

}  // namespace
}  // namespace ktx::gsm
