#include "check/Steps.h"

#include "base/CNumbers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "accel/AccelPoll.h"
#include "can/CanMonitor.h"
#include "gnss/AntennaCheck.h"
#include "gnss/ClockRegisters.h"
#include "gnss/DeviceClock.h"
#include "gnss/ReceiverTest.h"
#include "gsm/ModemTests.h"
#include "io/StatusDisplay.h"
#include "io/StatusPoll.h"
#include "check/Exchanges.h"
#include "link/Identification.h"
#include "link/LinkSession.h"
#include "onewire/TemperatureTest.h"
#include "rs485/ExtenderPoll.h"
#include "rs485/FuelSensors.h"

namespace ktx::check {
namespace {

constexpr int64_t kRetryMs = 1000;
constexpr int64_t kCanPollMs = 500;
constexpr double kEarthRadiusM = 6371000;

Limits limitsOf(const Range& range) { return {range.low, range.high}; }

Measurement& add(StepRecord& step, std::string name, nlohmann::json value, std::string units, Limits limits,
    Outcome outcome)
{
    step.measurements.push_back({std::move(name), std::move(value), std::move(units), limits, outcome});
    return step.measurements.back();
}

// Whole numbers stay whole in the record (57, not 57.0).
nlohmann::json numberJson(double value)
{
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        return static_cast<int64_t>(value);
    return value;
}

// A number against its limits.
void judge(StepRecord& step, std::string name, double value, std::string units, const Range& range)
{
    const bool within = value >= range.low && value <= range.high;
    add(step, std::move(name), numberJson(value), std::move(units), limitsOf(range), within ? Outcome::Pass : Outcome::Fail);
}

// A value the tracker did not give.
void unanswered(StepRecord& step, std::string name, std::string units, Limits limits = {})
{
    add(step, std::move(name), nullptr, std::move(units), limits, Outcome::Error);
}

void check(StepRecord& step, std::string name, bool ok)
{
    add(step, std::move(name), ok, "", {}, ok ? Outcome::Pass : Outcome::Fail);
}

void note(StepRecord& step, const std::string& text)
{
    if (!step.message.empty())
        step.message += "; ";
    step.message += text;
}

// The decimal value nearest to a multiple of step, so the record shows
// 0.104 rather than 0.10400000000000001.
double roundTo(double value, double step)
{
    const CNumbersScope pointDecimals;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::max(0, static_cast<int>(std::ceil(-std::log10(step)))),
        std::round(value / step) * step);
    return std::strtod(text, nullptr);
}

// What the GSM tab's shapes would show, from the modem tests.
class ShapeRecorder : public gsm::ModemView {
public:
    void stopStatusPoll() override {}
    void paintShape(int mode, bool passed) override
    {
        if (mode >= 0 && mode < static_cast<int>(sizeof green_))
            green_[mode] = passed;
    }
    bool green(int mode) const { return green_[mode]; }

private:
    bool green_[12] = {};
};

enum ModemShape { kPowerShape = 1, kPinShape = 2, kRegistrationShape = 5, kGprsShape = 7, kServerShape = 8 };

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

bool StepRunner::stopping() const { return time_.stopping(); }

bool StepRunner::pause(int64_t ms)
{
    if (ms > 0)
        time_.sleepMs(static_cast<uint32_t>(ms));
    return !stopping();
}

void StepRunner::run(const StepSpec& stepSpec, StepRecord& step)
{
    using Member = void (StepRunner::*)(const StepSpec&, StepRecord&);
    static const std::pair<const char*, Member> kSteps[] = {
        {"identification", &StepRunner::identification}, {"supply", &StepRunner::supply},
        {"outputs", &StepRunner::outputs}, {"counters", &StepRunner::counters}, {"gsm", &StepRunner::gsm},
        {"gnss", &StepRunner::gnss}, {"clock", &StepRunner::clock}, {"onewire", &StepRunner::onewire},
        {"rs485", &StepRunner::rs485}, {"can", &StepRunner::can}, {"accel", &StepRunner::accel},
    };
    for (const auto& [type, member] : kSteps)
        if (stepSpec.type == type)
            return (this->*member)(stepSpec, step);
}

void StepRunner::identification(const StepSpec& stepSpec, StepRecord& step)
{
    add(step, "serial", device_.serial, "", {}, device_.serial.empty() ? Outcome::Fail : Outcome::Pass);
    LinkSession session(context_, LinkMode::Normal);
    if (!session) {
        note(step, "the channel did not open");
        return unanswered(step, "firmware version", "", limitsOf(stepSpec.firmware));
    }
    ReplyBuffer<63> reply;
    const bool whole = readVersionReply(context_, reply);
    session.close();
    int version = 0;
    bool dral = false;
    if (!whole || !parseVersionReply(reply.c_str(), version, dral)) {
        device_.firmware = readableBytes(reply.c_str());
        note(step, whole ? "the version reply was not understood" : "no version reply");
        return unanswered(step, "firmware version", "", limitsOf(stepSpec.firmware));
    }
    device_.firmware = readableBytes(reply.c_str());
    device_.version = version;
    context_.device.version = version;
    context_.device.dral = dral;
    judge(step, "firmware version", version, "", stepSpec.firmware);
}

void StepRunner::supply(const StepSpec& stepSpec, StepRecord& step)
{
    io::StatusPoll poll(context_);
    const io::PollOutcome outcome = poll.poll(false, false);
    const io::StatusRecord& r = poll.record();
    struct Channel {
        const char* name;
        const std::optional<Range>& range;
        double volts;
    };
    const Channel channels[] = {
        {"supply", stepSpec.supply, static_cast<double>(io::supplyVoltsForVersion(r.power, context_.device.version))},
        {"battery", stepSpec.battery, static_cast<double>(io::supplyVolts(r.reserve))},
        {"AIN1", stepSpec.ain1, static_cast<double>(io::ain1Volts(r.ain1))},
        {"AIN2", stepSpec.ain2, static_cast<double>(io::ain2Volts(r.ain2))},
    };
    const bool answered = outcome.opened && outcome.deviceTestFields >= 8;
    if (!answered)
        note(step, outcome.opened ? "no status reply" : "the channel did not open");
    for (const Channel& channel : channels) {
        if (!channel.range)
            continue;
        if (answered)
            judge(step, channel.name, roundTo(channel.volts, 0.001), "V", *channel.range);
        else
            unanswered(step, channel.name, "V", limitsOf(*channel.range));
    }
}

void StepRunner::outputs(const StepSpec& stepSpec, StepRecord& step)
{
    io::StatusPoll poll(context_);
    auto inputValue = [](const io::StatusRecord& r, int input) -> int32_t {
        switch (input) {
        case 1: return r.in1;
        case 2: return r.in2;
        case 3: return r.in34 % 10;
        case 4: return r.in34 / 10 % 10;
        case 5: return r.in5;
        case 6: return r.in6;
        case 7: return r.in7;
        default: return r.in8;
        }
    };
    for (const OutputWiring& wiring : stepSpec.outputs) {
        for (const bool on : {true, false}) {
            outputsTouched_ = true;
            const io::PollOutcome outcome = poll.poll(on && wiring.output == 1, on && wiring.output == 2);
            const std::string name = "output " + std::to_string(wiring.output) + (on ? " on" : " off");
            if (!outcome.opened || outcome.deviceTestFields < 8) {
                unanswered(step, name, "");
                continue;
            }
            if (!wiring.input) {
                check(step, name + " accepted", true);
                continue;
            }
            const int32_t readback = inputValue(poll.record(), *wiring.input);
            const bool expected = (readback != 0) == on;
            add(step, name + ", input " + std::to_string(*wiring.input), readback, "", {on ? 1.0 : 0.0, on ? 1.0 : 0.0},
                expected ? Outcome::Pass : Outcome::Fail);
        }
    }
}

void StepRunner::counters(const StepSpec& stepSpec, StepRecord& step)
{
    io::StatusPoll poll(context_);
    const io::PollOutcome first = poll.poll(false, false);
    const io::StatusRecord before = poll.record();
    if (!pause(static_cast<int64_t>(stepSpec.counterSeconds * 1000)))
        return;
    const io::PollOutcome second = poll.poll(false, false);
    const io::StatusRecord& after = poll.record();
    auto counter = [](const io::StatusRecord& r, int k) -> int32_t {
        const int32_t io::StatusRecord::* const kCounters[] = {&io::StatusRecord::count1, &io::StatusRecord::count2,
            &io::StatusRecord::count3, &io::StatusRecord::count4, &io::StatusRecord::count5, &io::StatusRecord::count6,
            &io::StatusRecord::count7, &io::StatusRecord::count8};
        return r.*kCounters[k - 1];
    };
    const bool answered = first.deviceTestFields >= 8 && second.deviceTestFields >= 8;
    // Counters 3 to 8 come in the ADD_TEST reply.
    const bool addAnswered = first.addTest.fields >= 8 && second.addTest.fields >= 8;
    for (int k : stepSpec.generators) {
        const std::string name = "counter " + std::to_string(k) + " increase";
        const bool replied = k <= 2 ? answered : addAnswered && (k <= 4 || (first.addTest.longForm && second.addTest.longForm));
        if (!replied) {
            unanswered(step, name, "counts", {1.0, std::nullopt});
            continue;
        }
        const int64_t moved = int64_t(counter(after, k)) - counter(before, k);
        add(step, name, moved, "counts", {1.0, std::nullopt}, moved > 0 ? Outcome::Pass : Outcome::Fail);
    }
}

void StepRunner::gsm(const StepSpec& stepSpec, StepRecord& step)
{
    ShapeRecorder shapes;
    gsm::ModemTests modem(context_, shapes);
    modemPowered_ = true;
    modem.powerOn(stepSpec.simIndex);
    check(step, "power-on", shapes.green(kPowerShape));
    if (!shapes.green(kPowerShape) || stopping())
        return note(step, "the modem did not answer after power-on");

    modem.pinStatus();
    if (!shapes.green(kPinShape) && !stepSpec.pin.empty() && !stopping())
        modem.pinEntry(stepSpec.pin);
    check(step, "SIM ready", shapes.green(kPinShape));
    if (!shapes.green(kPinShape) || stopping())
        return note(step, "the SIM card is not ready");

    const int64_t startMs = time_.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepSpec.registrationS * 1000);
    for (;;) {
        modem.registration();
        if (shapes.green(kRegistrationShape) || time_.monotonicMs() - startMs >= limitMs || !pause(kRetryMs))
            break;
    }
    const double tookS = roundTo((time_.monotonicMs() - startMs) / 1000.0, 0.001);
    if (shapes.green(kRegistrationShape))
        judge(step, "registration time", tookS, "s", {0, stepSpec.registrationS});
    else
        add(step, "registration time", nullptr, "s", {0.0, stepSpec.registrationS}, Outcome::Fail);
    if (stopping())
        return;

    if (stepSpec.signal) {
        if (const auto quality = gsm::readSignalQuality(context_); quality && quality->rssi != 99)
            judge(step, "signal quality", quality->rssi, "rssi", *stepSpec.signal);
        else
            add(step, "signal quality", nullptr, "rssi", limitsOf(*stepSpec.signal), Outcome::Skipped);
    }
    if (stepSpec.gprs && !stopping()) {
        modem.gprsConnect(stepSpec.apn, stepSpec.apnUser, stepSpec.apnPassword);
        check(step, "GPRS", shapes.green(kGprsShape));
        if (stepSpec.server && shapes.green(kGprsShape) && !stopping()) {
            modem.serverConnect(stepSpec.serverIp, stepSpec.serverPort);
            check(step, "server connection", shapes.green(kServerShape));
            modem.disconnect();
        }
    }
}

void StepRunner::gnss(const StepSpec& stepSpec, StepRecord& step)
{
    const std::optional<int32_t> reading = gnss::requestAntennaReading(context_);
    if (!reading) {
        note(step, "no antenna reading");
        return unanswered(step, "antenna", "");
    }
    gnss::AntennaState state = gnss::antennaState(*reading);
    if (state == gnss::AntennaState::ModuleOff) {
        gnss::startReceiver(context_);
        if (const auto again = gnss::requestAntennaReading(context_))
            state = gnss::antennaState(*again);
    }
    const char* const kStateNames[] = {"normal", "break", "module off", "short"};
    const bool normal = state == gnss::AntennaState::Normal;
    add(step, "antenna", kStateNames[static_cast<int>(state)], "", {}, normal ? Outcome::Pass : Outcome::Fail);
    if (!normal)
        return note(step, "the antenna is not normal");

    const int64_t startMs = time_.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepSpec.fixS * 1000);
    std::optional<gnss::PointFix> fix;
    bool answered = false;
    for (;;) {
        const gnss::PositionReply reply = gnss::requestPosition(context_);
        if (reply.words.fields >= 3) {
            answered = true;
            const gnss::PointFix decoded = gnss::decodePoint(reply.words);
            if (decoded.valid) {
                fix = decoded;
                break;
            }
        }
        if (time_.monotonicMs() - startMs >= limitMs || !pause(kRetryMs))
            break;
    }
    const double tookS = roundTo((time_.monotonicMs() - startMs) / 1000.0, 0.001);
    if (!fix) {
        note(step, answered ? "no valid fix in time" : "no position reply");
        add(step, "fix time", nullptr, "s", {0.0, stepSpec.fixS}, answered ? Outcome::Fail : Outcome::Error);
        return;
    }
    judge(step, "fix time", tookS, "s", {0, stepSpec.fixS});
    const double latitude = degreesOf(fix->latitude, 'S');
    const double longitude = degreesOf(fix->longitude, 'W');
    add(step, "latitude", roundTo(latitude, 1e-7), "deg", {}, Outcome::Pass);
    add(step, "longitude", roundTo(longitude, 1e-7), "deg", {}, Outcome::Pass);
    if (stepSpec.latitude && stepSpec.longitude)
        judge(step, "distance from the point", roundTo(distanceMetres(latitude, longitude, *stepSpec.latitude,
            *stepSpec.longitude), 0.1), "m", {0, stepSpec.radiusM});
}

void StepRunner::clock(const StepSpec& stepSpec, StepRecord& step)
{
    const gnss::ClockOutcome set = gnss::setClock(context_);
    if (!set.registers) {
        note(step, set.opened ? "the clock did not take the time" : "the channel did not open");
        return unanswered(step, "clock difference", "s", {-stepSpec.toleranceS, stepSpec.toleranceS});
    }
    const gnss::ClockOutcome read = gnss::readClock(context_);
    const int64_t pcMs = time_.wallClockUtcMs();
    if (!read.registers) {
        note(step, "no clock reply");
        return unanswered(step, "clock difference", "s", {-stepSpec.toleranceS, stepSpec.toleranceS});
    }
    const double differenceS = (utcMsOf(gnss::decodeClock(*read.registers)) - pcMs) / 1000.0;
    add(step, "clock", read.text, "", {}, Outcome::Pass);
    judge(step, "clock difference", roundTo(differenceS, 0.001), "s", {-stepSpec.toleranceS, stepSpec.toleranceS});
}

void StepRunner::onewire(const StepSpec& stepSpec, StepRecord& step)
{
    onewire::TemperatureTest test(context_);
    int found = 0;
    for (const std::string& address : stepSpec.sensors) {
        const onewire::TickResult result = test.poll(address);
        const std::string name = "temperature " + address;
        if (result.outcome == onewire::TickOutcome::OpenFailed || result.outcome == onewire::TickOutcome::Unreadable) {
            unanswered(step, name, "degC", limitsOf(stepSpec.temperature));
            if (result.outcome == onewire::TickOutcome::OpenFailed)
                break;
            continue;
        }
        if (result.outcome != onewire::TickOutcome::Reading) {
            add(step, name, nullptr, "degC", limitsOf(stepSpec.temperature), Outcome::Fail);
            continue;
        }
        ++found;
        judge(step, name, roundTo(result.value, 0.0001), "degC", stepSpec.temperature);
        if (stopping())
            return;
    }
    add(step, "sensors found", found, "", {double(stepSpec.minSensors), std::nullopt},
        found >= stepSpec.minSensors ? Outcome::Pass : Outcome::Fail);
}

void StepRunner::rs485(const StepSpec& stepSpec, StepRecord& step)
{
    if (!stepSpec.fuelSensors.empty()) {
        rs485::FuelAddresses addresses;
        for (size_t i = 0; i < stepSpec.fuelSensors.size() && i < addresses.size(); ++i)
            addresses[i] = stepSpec.fuelSensors[i];
        const rs485::FuelOutcome outcome = rs485::pollFuelSensors(context_, addresses);
        for (size_t i = 0; i < stepSpec.fuelSensors.size(); ++i) {
            const std::string name = "fuel level " + stepSpec.fuelSensors[i];
            if (!outcome.readings) {
                unanswered(step, name, "counts", limitsOf(stepSpec.level));
                continue;
            }
            const int32_t level = (*outcome.readings)[i].level;
            // The tracker reports a sensor that did not answer as -1.
            if (level < 0)
                add(step, name, nullptr, "counts", limitsOf(stepSpec.level), Outcome::Fail);
            else
                judge(step, name, level, "counts", stepSpec.level);
        }
    }
    if (stepSpec.extender && !stopping()) {
        const rs485::ExtenderOutcome outcome = rs485::pollExtender(context_);
        if (!outcome.opened || outcome.reply.empty())
            unanswered(step, "extender", "");
        else
            add(step, "extender", outcome.states ? "valid CRC" : "bad answer", "", {},
                outcome.states ? Outcome::Pass : Outcome::Fail);
    }
}

void StepRunner::can(const StepSpec& stepSpec, StepRecord& step)
{
    can::CanMonitor monitor(context_);
    const int64_t startMs = time_.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepSpec.frameS * 1000);
    std::optional<double> framesAfterS;
    std::optional<std::string> speed, engineSpeed;
    auto wanted = [&](const char* value) {
        for (const std::string& v : stepSpec.values)
            if (v == value)
                return true;
        return false;
    };
    for (;;) {
        const can::CanPollOutcome outcome = monitor.poll(".");
        if (outcome.view) {
            bool any = !outcome.view->canRows.empty();
            for (bool lamp : outcome.view->lampsPresent)
                any = any || lamp;
            if (any && !framesAfterS)
                framesAfterS = (time_.monotonicMs() - startMs) / 1000.0;
            if (const auto& text = outcome.view->panels[can::kSpeed]; text && *text != "-")
                speed = *text;
            if (const auto& text = outcome.view->panels[can::kEngineSpeed]; text && *text != "-")
                engineSpeed = *text;
        }
        const bool done = framesAfterS && (!wanted("speed") || speed) && (!wanted("engineSpeed") || engineSpeed);
        if (done || time_.monotonicMs() - startMs >= limitMs || !pause(kCanPollMs))
            break;
    }
    if (framesAfterS)
        judge(step, "first frames", roundTo(*framesAfterS, 0.001), "s", {0, stepSpec.frameS});
    else
        add(step, "first frames", nullptr, "s", {0.0, stepSpec.frameS}, Outcome::Fail);
    const std::pair<const char*, const std::optional<std::string>&> values[] = {
        {"speed", speed}, {"engineSpeed", engineSpeed}};
    for (const auto& [name, value] : values) {
        if (!wanted(name))
            continue;
        add(step, name, value ? nlohmann::json(*value) : nlohmann::json(nullptr), name == std::string("speed") ? "km/h" : "rpm",
            {}, value ? Outcome::Pass : Outcome::Fail);
    }
}

void StepRunner::accel(const StepSpec& stepSpec, StepRecord& step)
{
    const accel::AccelPollOutcome outcome = accel::pollAccelerometer(context_);
    if (!outcome.reading) {
        note(step, outcome.opened ? "no accelerometer reply" : "the channel did not open");
        return unanswered(step, "magnitude", "g", limitsOf(stepSpec.magnitude));
    }
    const double magnitude = accel::magnitudeOf(outcome.reading->squaredLength) / stepSpec.countsPerG;
    judge(step, "magnitude", roundTo(magnitude, 0.001), "g", stepSpec.magnitude);
}

void StepRunner::cleanup()
{
    if (outputsTouched_) {
        io::StatusPoll poll(context_);
        poll.poll(false, false);
        outputsTouched_ = false;
    }
    if (modemPowered_) {
        ShapeRecorder shapes;
        gsm::ModemTests(context_, shapes).powerOff();
        modemPowered_ = false;
    }
}

}  // namespace ktx::check
