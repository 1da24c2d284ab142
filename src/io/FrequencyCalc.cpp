#include "io/FrequencyCalc.h"

#include <charconv>
#include <cstdio>

#include "base/LogSink.h"

namespace ktx::io {
namespace {

// '=' for device time, '~' for the PC clock.
std::string frequencyText(char mark, double hz)
{
    return formatText("%c%.1f Hz", mark, hz);
}

}  // namespace

int32_t counterValue(const std::string& caption)
{
    int32_t value = 0;
    const char* end = caption.data() + caption.size();
    const auto [ptr, error] = std::from_chars(caption.data(), end, value);
    return error == std::errc() && ptr == end ? value : 0;
}

std::optional<double> frequencyHz(int32_t count, int32_t previousCount, int32_t stamp, int32_t previousStamp)
{
    const int64_t counts = int64_t(count) - previousCount;
    const int64_t elapsed = int64_t(stamp) - previousStamp;
    if (count == 0 || counts <= 0 || elapsed <= 0)
        return std::nullopt;
    return double(counts) * 1000.0 / (double(elapsed) * 2.0);
}

FrequencyTick FrequencyCalc::tick(const std::array<std::string, 8>& captions, const StatusStamps& s)
{
    FrequencyTick result;
    if (s.t1 == 0 && s.t2 == 0)
        return result;

    std::array<int32_t, 8> now{};
    for (size_t k = 0; k < now.size(); ++k)
        now[k] = counterValue(captions[k]);

    // Counters [first, last) share one stamp.
    auto group = [&](size_t first, size_t last, int32_t stamp, int32_t previous, char mark) {
        if (stamp == previous || previous == 0)
            return;
        for (size_t k = first; k < last; ++k)
            if (const auto hz = frequencyHz(now[k], counts_[k], stamp, previous)) {
                result.values[k] = Frequency{mark, *hz};
                result.captions[k] = frequencyText(mark, *hz);
            }
    };
    group(0, 2, s.t1, p1_, s.flag1 ? '=' : '~');
    group(2, 4, s.t2, p2_, s.flag2 ? '=' : '~');
    group(4, 8, s.t3, p3_, '=');  // the long reply's stamp is always device time

    result.writeLine = s.t1 != p1_ || s.t2 != p2_ || s.t3 != p3_;
    counts_ = now;
    p1_ = s.t1;
    p2_ = s.t2;
    p3_ = s.t3;
    return result;
}

std::string frequencyLine(const std::array<std::string, 8>& c)
{
    return formatText("F1 %s\tF2 %s\tF3 %s\tF4 %s\tF5 %s\tF6 %s\tF7 %s\tF8 %s\r\n", c[0].c_str(), c[1].c_str(),
        c[2].c_str(), c[3].c_str(), c[4].c_str(), c[5].c_str(), c[6].c_str(), c[7].c_str());
}

}  // namespace ktx::io
