#include "app/DisplayCheck.h"

#include <cstdlib>

namespace ktx {

namespace {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::string waylandSocketPath(const DisplayEnvironment& environment)
{
    if (startsWith(environment.waylandDisplay, "/"))
        return environment.waylandDisplay;
    return environment.runtimeDir + "/" + environment.waylandDisplay;
}

}  // namespace

DisplayEnvironment currentDisplayEnvironment()
{
    return {environmentValue("QT_QPA_PLATFORM"), environmentValue("DISPLAY"), environmentValue("WAYLAND_DISPLAY"),
            environmentValue("XDG_RUNTIME_DIR")};
}

std::string missingDisplayReason(const DisplayEnvironment& environment,
                                 const std::function<bool(const std::string&)>& x11Opens,
                                 const std::function<bool(const std::string&)>& waylandSocketExists)
{
    const std::string& platform = environment.platform;
    const bool anyPlatform = platform.empty();
    // A list such as "wayland;xcb" is tried in order: either will do.
    const bool x11 = anyPlatform || platform.find("xcb") != std::string::npos;
    const bool wayland = anyPlatform || platform.find("wayland") != std::string::npos;
    // Other platforms (offscreen, vnc, eglfs, ...) need no display server.
    if (!x11 && !wayland)
        return {};
    if (wayland && !environment.waylandDisplay.empty() && waylandSocketExists(waylandSocketPath(environment)))
        return {};
    if (x11 && !environment.x11Display.empty()) {
        if (x11Opens(environment.x11Display))
            return {};
        return "the display " + environment.x11Display + " can't be opened";
    }
    if (wayland && !environment.waylandDisplay.empty())
        return "the Wayland display " + environment.waylandDisplay + " isn't there";
    return x11 && wayland ? "neither DISPLAY nor WAYLAND_DISPLAY is set"
                          : (x11 ? "DISPLAY is not set" : "WAYLAND_DISPLAY is not set");
}

}  // namespace ktx
