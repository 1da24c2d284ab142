#pragma once
// Whether the window can be shown at all, asked before Qt starts: Qt aborts
// the program when its platform finds no display.
#include <functional>
#include <string>

namespace ktx {

struct DisplayEnvironment {
    std::string platform;        // QT_QPA_PLATFORM
    std::string x11Display;      // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string runtimeDir;      // XDG_RUNTIME_DIR, where Wayland's socket lives
};

// From the process environment.
DisplayEnvironment currentDisplayEnvironment();

// Empty when a display can be used; otherwise why not, in a few words.
// x11Opens tries to connect to an X display; waylandSocketExists says
// whether a Wayland socket path is there.
std::string missingDisplayReason(const DisplayEnvironment& environment,
                                 const std::function<bool(const std::string&)>& x11Opens,
                                 const std::function<bool(const std::string&)>& waylandSocketExists);

}  // namespace ktx
