#pragma once
// Deterministic pseudo-randomness of the simulated tracker: every noisy value
// is a pure function of the seed, a channel number and the model time, so a
// test can predict it and two runs of one scenario behave alike.
#include <cstdint>

namespace ktx::sim {

// splitmix64 finaliser: a well-mixed 64-bit value of x.
constexpr uint64_t mix64(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr uint64_t hashOf(uint64_t seed, uint64_t channel, uint64_t tick)
{
    return mix64(seed ^ mix64(channel ^ mix64(tick)));
}

// Uniform in [-amplitude, +amplitude].
constexpr int noiseAt(uint64_t seed, int channel, int64_t nowMs, int amplitude)
{
    if (amplitude <= 0)
        return 0;
    const uint64_t span = 2 * static_cast<uint64_t>(amplitude) + 1;
    return static_cast<int>(hashOf(seed, static_cast<uint64_t>(channel), static_cast<uint64_t>(nowMs)) % span)
        - amplitude;
}

// Uniform in [0, 1).
constexpr double unitAt(uint64_t seed, int channel, uint64_t tick)
{
    return static_cast<double>(hashOf(seed, static_cast<uint64_t>(channel), tick) >> 11) * 0x1.0p-53;
}

}  // namespace ktx::sim
