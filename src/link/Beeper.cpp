#include "link/Beeper.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace ktx {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr unsigned kRate = 44100;
constexpr unsigned kLatencyUs = 50000;
constexpr size_t kChunkFrames = 1024;
constexpr int16_t kAmplitude = 8000;     // about a quarter of full scale
constexpr uint64_t kRampFrames = kRate / 500;  // 2 ms in and out, against clicks
constexpr unsigned kMaxFrequencyHz = 20000;
// Slack over the tone's length before a stuck device is given up.
constexpr auto kGrace = std::chrono::milliseconds(500);

// A machine without sound makes ALSA print to stderr on every attempt.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA is loaded with the first tone, not with the program: most runs never
// beep, and loading it at start costs the window about 2 ms of its first paint.
struct Alsa {
    decltype(&snd_lib_error_set_handler) setErrorHandler = nullptr;
    decltype(&snd_pcm_open) open = nullptr;
    decltype(&snd_pcm_close) close = nullptr;
    decltype(&snd_pcm_set_params) setParams = nullptr;
    decltype(&snd_pcm_writei) writei = nullptr;
    decltype(&snd_pcm_wait) wait = nullptr;
    decltype(&snd_pcm_recover) recover = nullptr;
    decltype(&snd_pcm_state) state = nullptr;
    decltype(&snd_pcm_start) start = nullptr;
    decltype(&snd_pcm_delay) delay = nullptr;
    decltype(&snd_pcm_drop) drop = nullptr;
    bool loaded = false;
};

template <class Function>
bool bind(void* library, Function& function, const char* name)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Null when the library or one of its functions is missing: no tone then.
const Alsa* alsa()
{
    static const Alsa api = [] {
        Alsa a;
        void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return a;
        a.loaded = bind(library, a.setErrorHandler, "snd_lib_error_set_handler") &&
                   bind(library, a.open, "snd_pcm_open") && bind(library, a.close, "snd_pcm_close") &&
                   bind(library, a.setParams, "snd_pcm_set_params") && bind(library, a.writei, "snd_pcm_writei") &&
                   bind(library, a.wait, "snd_pcm_wait") && bind(library, a.recover, "snd_pcm_recover") &&
                   bind(library, a.state, "snd_pcm_state") && bind(library, a.start, "snd_pcm_start") &&
                   bind(library, a.delay, "snd_pcm_delay") && bind(library, a.drop, "snd_pcm_drop");
        if (a.loaded)
            a.setErrorHandler(&silentAlsaError);
        return a;
    }();
    return api.loaded ? &api : nullptr;
}

struct PcmClose {
    void operator()(snd_pcm_t* pcm) const { alsa()->close(pcm); }
};

int16_t squareSample(uint64_t frame, uint64_t totalFrames, unsigned frequencyHz)
{
    const bool high = ((frame * frequencyHz * 2) / kRate) % 2 == 0;
    const uint64_t edge = std::min(frame, totalFrames - 1 - frame);
    const int64_t level = edge < kRampFrames ? int64_t(kAmplitude) * int64_t(edge) / int64_t(kRampFrames)
                                             : int64_t(kAmplitude);
    return static_cast<int16_t>(high ? level : -level);
}

}  // namespace

Beeper::Beeper(std::string pcmName) : pcmName_(std::move(pcmName)) {}

bool Beeper::play(uint32_t frequencyHz, uint32_t durationMs)
{
    if (frequencyHz == 0)
        return false;
    if (durationMs == 0)
        return true;
    const unsigned frequency = std::min<uint32_t>(frequencyHz, kMaxFrequencyHz);
    const Alsa* api = alsa();
    if (!api)
        return false;

    snd_pcm_t* raw = nullptr;
    // Non-blocking, so a missing or busy device fails at once instead of
    // waiting; every wait below is bounded by the deadline.
    if (api->open(&raw, pcmName_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    std::unique_ptr<snd_pcm_t, PcmClose> pcm(raw);
    if (api->setParams(pcm.get(), SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1,
                           kLatencyUs) < 0)
        return false;

    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(durationMs) + kGrace;
    const uint64_t totalFrames = std::max<uint64_t>(uint64_t(kRate) * durationMs / 1000, 1);
    std::vector<int16_t> chunk(kChunkFrames);
    uint64_t written = 0;
    while (written < totalFrames) {
        if (SteadyClock::now() >= deadline) {
            api->drop(pcm.get());
            return false;
        }
        const size_t frames = static_cast<size_t>(std::min<uint64_t>(kChunkFrames, totalFrames - written));
        for (size_t i = 0; i < frames; ++i)
            chunk[i] = squareSample(written + i, totalFrames, frequency);
        const snd_pcm_sframes_t rc = api->writei(pcm.get(), chunk.data(), frames);
        if (rc == -EAGAIN) {
            api->wait(pcm.get(), 20);
        } else if (rc < 0) {
            if (api->recover(pcm.get(), static_cast<int>(rc), 1) < 0)
                return false;
        } else {
            written += static_cast<uint64_t>(rc);
        }
    }
    // A tone shorter than the buffer never reaches the start threshold.
    if (api->state(pcm.get()) == SND_PCM_STATE_PREPARED)
        api->start(pcm.get());
    // Let the queued frames play out; drain would block without bound on a
    // device that stops consuming.
    while (SteadyClock::now() < deadline && api->state(pcm.get()) == SND_PCM_STATE_RUNNING) {
        snd_pcm_sframes_t delay = 0;
        if (api->delay(pcm.get(), &delay) < 0 || delay <= 0)
            break;
        const SteadyClock::duration left = std::chrono::microseconds(int64_t(delay) * 1000000 / kRate);
        const SteadyClock::duration step = std::chrono::milliseconds(10);
        std::this_thread::sleep_for(std::min({left, step, deadline - SteadyClock::now()}));
    }
    const bool played = SteadyClock::now() < deadline;
    api->drop(pcm.get());
    return played;
}

}  // namespace ktx
