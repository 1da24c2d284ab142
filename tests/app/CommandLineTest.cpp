// The command line and the display check, before Qt starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"

namespace ktx {
namespace {

TEST(CommandLine, ReadsEachOptionAndNamesAWrongArgument)
{
    // What the line must give: help, version, simulate, scenario file, error.
    struct Case {
        std::vector<std::string_view> arguments;
        bool help, version, simulate;
        std::string scenarioFile, error;
    };
    const Case cases[] = {
        {{}, false, false, false, "", ""},
        {{"--help"}, true, false, false, "", ""},
        {{"-h"}, true, false, false, "", ""},
        {{"--version"}, false, true, false, "", ""},
        {{"--simulate"}, false, false, true, "", ""},
        {{"--simulate=sim/flaky.json"}, false, false, true, "sim/flaky.json", ""},
        {{"--simulate==x"}, false, false, true, "=x", ""},
        {{"--bogus"}, false, false, false, "", "unknown option '--bogus'"},
        {{"-v"}, false, false, false, "", "unknown option '-v'"},
        {{"--simulate-fast"}, false, false, false, "", "unknown option '--simulate-fast'"},
        {{"foo"}, false, false, false, "", "unexpected argument 'foo'"},
        {{"--simulate="}, false, false, false, "", "missing scenario file after '--simulate='"},
        {{"--simulate", "extra"}, false, false, false, "", "unexpected argument 'extra' (one option at a time)"},
        {{"--help", "--simulate"}, false, false, false, "", "unexpected argument '--simulate' (one option at a time)"},
        {{"--bogus", "--help"}, false, false, false, "", "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        const std::string arguments = c.arguments.empty() ? "(none)" : std::string(c.arguments.front());
        EXPECT_EQ(line.error, c.error) << arguments;
        EXPECT_EQ(line.help, c.help) << arguments;
        EXPECT_EQ(line.version, c.version) << arguments;
        EXPECT_EQ(line.simulate, c.simulate) << arguments;
        EXPECT_EQ(line.scenarioFile, c.scenarioFile) << arguments;
    }
}

TEST(DisplayCheck, FindsAUsableDisplayOrSaysWhyNot)
{
    // ":0" opens, ":9" doesn't; the Wayland socket is /run/user/1000/wayland-0.
    const auto x11Opens = [](const std::string& name) { return name == ":0"; };
    const auto socketExists = [](const std::string& path) { return path == "/run/user/1000/wayland-0"; };
    struct Case {
        DisplayEnvironment environment;
        std::string reason;
    };
    const Case cases[] = {
        {{"", ":0", "", ""}, ""},
        {{"xcb", ":0", "", ""}, ""},
        {{"", "", "wayland-0", "/run/user/1000"}, ""},
        {{"wayland", "", "/run/user/1000/wayland-0", ""}, ""},
        {{"wayland;xcb", ":0", "wayland-1", "/run/user/1000"}, ""},
        {{"offscreen", "", "", ""}, ""},
        {{"vnc", "", "", ""}, ""},
        {{"", "", "", ""}, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
        {{"xcb", "", "wayland-0", "/run/user/1000"}, "DISPLAY is not set"},
        {{"wayland", ":0", "", ""}, "WAYLAND_DISPLAY is not set"},
        {{"", ":9", "", ""}, "the display :9 can't be opened"},
        {{"", ":9", "wayland-1", "/run/user/1000"}, "the display :9 can't be opened"},
        {{"", "", "wayland-1", "/run/user/1000"}, "the Wayland display wayland-1 isn't there"},
    };
    for (const Case& c : cases) {
        const DisplayEnvironment& e = c.environment;
        EXPECT_EQ(missingDisplayReason(e, x11Opens, socketExists), c.reason)
            << "QT_QPA_PLATFORM=" << e.platform << " DISPLAY=" << e.x11Display << " WAYLAND_DISPLAY=" << e.waylandDisplay;
    }
}

}  // namespace
}  // namespace ktx
