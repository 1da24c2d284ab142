// The GNSS step (antenna, fix, distance from the station's point) and the
// clock step of the line check.
#include "gnss/check/CheckRegistration.h"

#include <chrono>
#include <cmath>

#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "gnss/AntennaCheck.h"
#include "gnss/ClockRegisters.h"
#include "gnss/DeviceClock.h"
#include "gnss/ReceiverTest.h"

namespace ktx::check {
namespace {

constexpr double kEarthRadiusM = 6371000;

double degreesOf(const gnss::Coordinate& c, char negative)
{
    const double value = c.degrees + (c.minutes + c.fraction / 100000.0) / 60.0;
    return c.hemisphere == negative ? -value : value;
}

int64_t utcMsOf(const gnss::CivilTime& t)
{
    using namespace std::chrono;
    // Months and days past their ends run on into the next ones (the clock's
    // digits are not checked), as the C library's timegm has it.
    const year_month firstMonth = year(t.year) / January + months(t.month - 1);
    const sys_days day = sys_days(firstMonth / 1) + days(t.day - 1);
    const auto clock = hours(t.hours) + minutes(t.minutes) + seconds(t.seconds);
    return duration_cast<milliseconds>(day.time_since_epoch() + clock).count();
}

void readGnssKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.number("fixS", stepPlan.fixS, 0, kLongestWaitS);
    double latitude = 0, longitude = 0;
    if (r.find("latitude")) {
        r.number("latitude", latitude, -90, 90);
        stepPlan.latitude = latitude;
    }
    if (r.find("longitude")) {
        r.number("longitude", longitude, -180, 180);
        stepPlan.longitude = longitude;
    }
    if (stepPlan.latitude.has_value() != stepPlan.longitude.has_value())
        r.fail(r.at(stepPlan.latitude ? "longitude" : "latitude"), "a number beside the other coordinate");
    r.number("radiusM", stepPlan.radiusM, 0, 2e7);
    if (r.ok() && stepPlan.latitude)
        r.required("radiusM", "the radius in metres around the point given");
}

void readClockKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.number("toleranceS", stepPlan.toleranceS, 0, 86400);
}

void gnssStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    const std::optional<int32_t> reading = gnss::requestAntennaReading(run.context);
    if (!reading) {
        note(step, "no antenna reading");
        return unanswered(step, "antenna", "");
    }
    gnss::AntennaState state = gnss::antennaState(*reading);
    if (state == gnss::AntennaState::ModuleOff) {
        gnss::startReceiver(run.context);
        if (const auto again = gnss::requestAntennaReading(run.context))
            state = gnss::antennaState(*again);
    }
    const char* const kStateNames[] = {"normal", "break", "module off", "short"};
    const bool normal = state == gnss::AntennaState::Normal;
    add(step, "antenna", kStateNames[static_cast<int>(state)], "", {}, normal ? Outcome::Pass : Outcome::Fail);
    if (!normal)
        return note(step, "the antenna is not normal");

    const int64_t startMs = run.time.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepPlan.fixS * 1000);
    std::optional<gnss::PointFix> fix;
    bool answered = false;
    for (;;) {
        const gnss::PositionReply reply = gnss::requestPosition(run.context);
        if (reply.words.fields >= 3) {
            answered = true;
            const gnss::PointFix decoded = gnss::decodePoint(reply.words);
            if (decoded.valid) {
                fix = decoded;
                break;
            }
        }
        if (run.time.monotonicMs() - startMs >= limitMs || !run.pause(kRetryMs))
            break;
    }
    const double tookS = roundTo((run.time.monotonicMs() - startMs) / 1000.0, 0.001);
    if (!fix) {
        note(step, answered ? "no valid fix in time" : "no position reply");
        add(step, "fix time", nullptr, "s", {0.0, stepPlan.fixS}, answered ? Outcome::Fail : Outcome::Error);
        return;
    }
    judge(step, "fix time", tookS, "s", {0, stepPlan.fixS});
    const double latitude = degreesOf(fix->latitude, 'S');
    const double longitude = degreesOf(fix->longitude, 'W');
    add(step, "latitude", roundTo(latitude, 1e-7), "deg", {}, Outcome::Pass);
    add(step, "longitude", roundTo(longitude, 1e-7), "deg", {}, Outcome::Pass);
    if (stepPlan.latitude && stepPlan.longitude)
        judge(step, "distance from the point", roundTo(distanceMetres(latitude, longitude, *stepPlan.latitude,
            *stepPlan.longitude), 0.1), "m", {0, stepPlan.radiusM});
}

void clockStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    const gnss::ClockOutcome set = gnss::setClock(run.context);
    if (!set.registers) {
        note(step, set.opened ? "the clock did not take the time" : "the channel did not open");
        return unanswered(step, "clock difference", "s", {-stepPlan.toleranceS, stepPlan.toleranceS});
    }
    const gnss::ClockOutcome read = gnss::readClock(run.context);
    const int64_t pcMs = run.time.wallClockUtcMs();
    if (!read.registers) {
        note(step, "no clock reply");
        return unanswered(step, "clock difference", "s", {-stepPlan.toleranceS, stepPlan.toleranceS});
    }
    const double differenceS = (utcMsOf(gnss::decodeClock(*read.registers)) - pcMs) / 1000.0;
    add(step, "clock", read.text, "", {}, Outcome::Pass);
    judge(step, "clock difference", roundTo(differenceS, 0.001), "s", {-stepPlan.toleranceS, stepPlan.toleranceS});
}

}  // namespace

double distanceMetres(double lat1, double lon1, double lat2, double lon2)
{
    const double toRad = M_PI / 180;
    const double dLat = (lat2 - lat1) * toRad;
    const double dLon = (lon2 - lon1) * toRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(lat1 * toRad) * std::cos(lat2 * toRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

const CheckArea& checkArea_gnss()
{
    static const CheckArea area{
        {
            {"gnss", "GPS/ГЛОНАСС", {"fixS", "latitude", "longitude", "radiusM"}, readGnssKeys, gnssStep},
            {"clock", "Часы", {"toleranceS"}, readClockKeys, clockStep},
        },
    };
    return area;
}

}  // namespace ktx::check
