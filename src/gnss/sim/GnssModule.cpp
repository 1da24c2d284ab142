#include "gnss/sim/GnssModule.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "sim/SimRandom.h"
#include "sim/SimText.h"

namespace ktx::sim {

namespace {

constexpr std::string_view kStart = "GPS_START$";
constexpr std::string_view kPoint = "GPOINT$";
constexpr int32_t kModuleOff = 1023;
constexpr int kFirstYear = 2008;
constexpr int64_t kUnitsPerDegree = 60 * 100000;  // 0.00001 minute units
// Noise channels of this module, apart from the input/output module's.
constexpr int kAntennaChannel = 20;
constexpr int kLatitudeChannel = 21;
constexpr int kLongitudeChannel = 22;

// Nominal reading and the band noise keeps it in, so the wiring stays what
// the scenario says however noisy the inputs are.
struct AntennaBand {
    int32_t nominal, low, high;
};

AntennaBand antennaBand(AntennaWiring wiring)
{
    switch (wiring) {
    case AntennaWiring::Break:
        return {1001, 981, 1022};
    case AntennaWiring::Short:
        return {140, 0, 959};
    case AntennaWiring::Normal:
        break;
    }
    return {970, 960, 980};
}

}  // namespace

int32_t coordinateWord(double degrees, int noiseUnits)
{
    const int64_t maxUnits = 180 * kUnitsPerDegree;
    const int64_t units = std::clamp<int64_t>(std::llround(std::fabs(degrees) * kUnitsPerDegree) + noiseUnits, 0, maxUnits);
    const int64_t whole = units / kUnitsPerDegree;
    const int64_t rest = units % kUnitsPerDegree;
    const auto digits = static_cast<uint32_t>(whole * 10000000 + (rest / 100000) * 100000 + rest % 100000);
    const uint32_t word = (digits & 0x7FFFFFF0u) | (degrees < 0 ? 0x80000000u : 0u);
    return static_cast<int32_t>(word);
}

GnssModule::GnssModule(const Scenario& scenario)
    : values_(scenario.gnss),
      seed_(scenario.seed),
      analogNoise_(scenario.noise),
      on_(scenario.gnss.receiverOn),
      onSinceMs_(std::numeric_limits<int32_t>::min())  // on long before the simulator started
{
}

bool GnssModule::handles(std::string_view command) const
{
    return command == kStart || command == kPoint;
}

void GnssModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    if (command == kStart) {
        if (!on_) {
            on_ = true;
            onSinceMs_ = nowMs;
        }
        out += "GPS_START=1;\r\n";
        return;
    }
    appendPoint(nowMs, out);
    out += ";\r\n";
}

int32_t GnssModule::antennaReading(int64_t nowMs) const
{
    if (!on_)
        return kModuleOff;
    const AntennaBand band = antennaBand(values_.antenna);
    return std::clamp(band.nominal + noiseAt(seed_, kAntennaChannel, nowMs, analogNoise_), band.low, band.high);
}

bool GnssModule::fixValidAt(int64_t nowMs) const
{
    return on_ && values_.fixValid && values_.antenna == AntennaWiring::Normal
        && nowMs - onSinceMs_ >= values_.acquireMs;
}

void GnssModule::appendPoint(int64_t nowMs, std::string& out) const
{
    using namespace std::chrono;
    out += "POINT=";
    if (!on_) {
        out += "0,0,0";  // a receiver without power has never had a fix
    } else {
        const sys_time<milliseconds> utc{milliseconds{utcAtStartMs_ + nowMs}};
        const sys_days day = floor<days>(utc);
        const year_month_day date{day};
        const auto secondOfDay = static_cast<uint32_t>(floor<seconds>(utc - day).count());
        const uint32_t timeWord = secondOfDay | static_cast<uint32_t>(static_cast<unsigned>(date.month())) << 17
            | static_cast<uint32_t>(static_cast<unsigned>(date.day())) << 21 | (fixValidAt(nowMs) ? 1u << 27 : 0u);
        // The word has four bits for the year: it rolls over every 16 years.
        const auto yearNibble = static_cast<uint32_t>(static_cast<int>(date.year()) - kFirstYear) & 0xFu;
        int32_t latitude = 0;
        int32_t longitude = 0;
        // Until its first fix a receiver knows the time but not the place; one
        // that never gets a valid fix keeps sending the place it last had.
        if (fixValidAt(nowMs) || !values_.fixValid) {
            const int64_t second = nowMs / 1000;
            latitude = coordinateWord(values_.latitude, noiseAt(seed_, kLatitudeChannel, second, values_.positionNoise));
            longitude = coordinateWord(values_.longitude, noiseAt(seed_, kLongitudeChannel, second, values_.positionNoise));
        }
        appendInt(out, static_cast<int32_t>(timeWord));
        out += ',';
        appendInt(out, latitude);
        out += ',';
        appendInt(out, static_cast<int32_t>(static_cast<uint32_t>(longitude) | yearNibble));
    }
    if (values_.receiver != ReceiverKind::Unreported) {
        out += ',';
        out += values_.receiver == ReceiverKind::Gps ? '1' : '0';
    }
}

}  // namespace ktx::sim
