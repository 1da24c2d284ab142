#pragma once
// A tone on the default sound device through ALSA, standing in for the PC
// speaker beep the console gives when a device can't be reached.
#include <cstdint>
#include <string>

namespace ktx {

class Beeper {
public:
    // pcmName is an ALSA device name; "default" follows the user's setup.
    explicit Beeper(std::string pcmName = "default");

    // Plays a square tone (audible even at 50 Hz on small speakers) and
    // returns when it has played. Returns false at once when the device can't
    // be opened, and false early when playing breaks off; the caller keeps
    // time itself. Never waits much longer than durationMs.
    bool play(uint32_t frequencyHz, uint32_t durationMs);

private:
    std::string pcmName_;
};

}  // namespace ktx
