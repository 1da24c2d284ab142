// The beep on Windows: the system's own tone (the PC speaker, or the sound
// card where there is none), which blocks for the tone's length.
#include "link/Beeper.h"

#include <algorithm>
#include <windows.h>

namespace ktx {

Beeper::Beeper(std::string pcmName) : pcmName_(std::move(pcmName)) {}

bool Beeper::play(uint32_t frequencyHz, uint32_t durationMs)
{
    if (durationMs == 0)
        return true;
    // Beep() takes 37..32767 Hz.
    const DWORD frequency = std::clamp<uint32_t>(frequencyHz, 37, 32767);
    return Beep(frequency, durationMs) != 0;
}

}  // namespace ktx
