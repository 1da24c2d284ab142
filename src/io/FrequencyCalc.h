#pragma once
// Input frequencies from how far each counter moved between the stamps of
// two status polls, worked out on every Timer6 tick.
#include <array>
#include <optional>
#include <string>

#include "io/StatusRecord.h"

namespace ktx::io {

struct Frequency {
    char mark;  // '=' device time, '~' the PC's clock
    double hz;
};

struct FrequencyTick {
    // New value for freq1..freq8; unset = the panel keeps its text and colour.
    std::array<std::optional<Frequency>, 8> values;
    // The same as the FREQUENCY log writes them ("=50.0 Hz").
    std::array<std::optional<std::string>, 8> captions;
    bool writeLine = false;  // a stamp moved: the FREQUENCY line is due
};

class FrequencyCalc {
public:
    // counterCaptions: Panel1, Panel2, Count3..Count8 as shown.
    FrequencyTick tick(const std::array<std::string, 8>& counterCaptions, const StatusStamps& stamps);
    // Starting or stopping the test forgets the baseline.
    void reset() { counts_ = {}; p1_ = p2_ = p3_ = 0; }

private:
    std::array<int32_t, 8> counts_{};  // C1..C8
    int32_t p1_ = 0, p2_ = 0, p3_ = 0;
};

// A counter caption read as a decimal integer, 0 when it is not one.
int32_t counterValue(const std::string& caption);

// f = (c - C) * 1000 / ((T - P) * 2); unset when the counter did not move
// forward or time did not (a stamp that went backwards gives no value).
std::optional<double> frequencyHz(int32_t count, int32_t previousCount, int32_t stamp, int32_t previousStamp);

// The fields of a FREQUENCY log line from the eight Windows-1251 captions.
std::string frequencyLine(const std::array<std::string, 8>& captionsCp1251);

}  // namespace ktx::io
