// The identification, supply, outputs and counters steps of the line check.
#include "io/check/CheckRegistration.h"

#include "check/Exchanges.h"
#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "io/StatusDisplay.h"
#include "io/StatusPoll.h"
#include "link/Identification.h"
#include "link/LinkSession.h"

namespace ktx::check {
namespace {

const std::vector<std::string_view> kWiringKeys = {"output", "input"};

void readIdentificationKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.range("firmware", stepPlan.firmware, 0, 1e6);
    if (r.ok())
        r.required("firmware", "the firmware version range, e.g. {\"min\": 57, \"max\": 999}");
}

void readSupplyKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.optionalRange("supply", stepPlan.supply, -100, 100);
    r.optionalRange("battery", stepPlan.battery, -100, 100);
    r.optionalRange("ain1", stepPlan.ain1, -100, 100);
    r.optionalRange("ain2", stepPlan.ain2, -100, 100);
    if (r.ok() && !stepPlan.supply && !stepPlan.battery && !stepPlan.ain1 && !stepPlan.ain2)
        r.fail(r.at("supply"), "at least one of supply, battery, ain1, ain2 with its range");
}

void readOutputKeys(ProfileReader& r, StepPlan& stepPlan)
{
    const nlohmann::json* list = r.find("outputs");
    if (!list)
        return void(r.fail(r.at("outputs"), "a list of at least one {\"output\": 1 or 2, \"input\": 1..8 or null}"));
    if (!list->is_array())
        return void(r.fail(r.at("outputs"), "a list of {\"output\": 1 or 2, \"input\": 1..8 or null}"));
    stepPlan.outputs.clear();
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string where = r.at("outputs") + "[" + std::to_string(i) + "]";
        const nlohmann::json& item = (*list)[i];
        if (!item.is_object())
            return void(r.fail(where, "an object with \"output\""));
        if (!r.keysWithin(item, kWiringKeys, where + ".", "in an output's wiring"))
            return;
        OutputWiring wiring;
        if (!item.contains("output") || !r.integerAt(item["output"], where + ".output", wiring.output, 1, 2))
            return void(r.fail(where + ".output", "a whole number from 1 to 2"));
        if (item.contains("input") && !item["input"].is_null()) {
            int input = 0;
            if (!r.integerAt(item["input"], where + ".input", input, 1, 8))
                return;
            wiring.input = input;
        }
        stepPlan.outputs.push_back(wiring);
    }
    if (stepPlan.outputs.empty())
        r.fail(r.at("outputs"), "a list of at least one {\"output\": 1 or 2, \"input\": 1..8 or null}");
}

void readCounterKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.integers("generators", stepPlan.generators, 1, 8);
    r.number("seconds", stepPlan.counterSeconds, 0.1, kLongestWaitS);
    if (r.ok() && stepPlan.generators.empty())
        r.fail(r.at("generators"), "a list of at least one counter (1..8) with a generator");
}

void identification(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    add(step, "serial", run.device.serial, "", {}, run.device.serial.empty() ? Outcome::Fail : Outcome::Pass);
    LinkSession session(run.context, LinkMode::Normal);
    if (!session) {
        note(step, "the channel did not open");
        return unanswered(step, "firmware version", "", limitsOf(stepPlan.firmware));
    }
    ReplyBuffer<63> reply;
    const bool whole = readVersionReply(run.context, reply);
    session.close();
    int version = 0;
    bool dral = false;
    if (!whole || !parseVersionReply(reply.c_str(), version, dral)) {
        run.device.firmware = readableBytes(reply.c_str());
        note(step, whole ? "the version reply was not understood" : "no version reply");
        return unanswered(step, "firmware version", "", limitsOf(stepPlan.firmware));
    }
    run.device.firmware = readableBytes(reply.c_str());
    run.device.version = version;
    run.context.device.version = version;
    run.context.device.dral = dral;
    judge(step, "firmware version", version, "", stepPlan.firmware);
}

void supply(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    io::StatusPoll poll(run.context);
    const io::PollOutcome outcome = poll.poll(false, false);
    const io::StatusRecord& r = poll.record();
    struct Channel {
        const char* name;
        const std::optional<Range>& range;
        double volts;
    };
    const Channel channels[] = {
        {"supply", stepPlan.supply, static_cast<double>(io::supplyVoltsForVersion(r.power, run.context.device.version))},
        {"battery", stepPlan.battery, static_cast<double>(io::supplyVolts(r.reserve))},
        {"AIN1", stepPlan.ain1, static_cast<double>(io::ain1Volts(r.ain1))},
        {"AIN2", stepPlan.ain2, static_cast<double>(io::ain2Volts(r.ain2))},
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

// Both outputs off, after a step that switched them.
void outputsOff(StepRun& run)
{
    io::StatusPoll poll(run.context);
    poll.poll(false, false);
}

void outputs(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    io::StatusPoll poll(run.context);
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
    for (const OutputWiring& wiring : stepPlan.outputs) {
        for (const bool on : {true, false}) {
            run.owe(outputsOff);
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

void counters(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    io::StatusPoll poll(run.context);
    const io::PollOutcome first = poll.poll(false, false);
    const io::StatusRecord before = poll.record();
    if (!run.pause(static_cast<int64_t>(stepPlan.counterSeconds * 1000)))
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
    for (int k : stepPlan.generators) {
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

}  // namespace

const CheckArea& checkArea_io()
{
    static const CheckArea area{
        {
            {"identification", "Опознавание", {"firmware"}, readIdentificationKeys, identification},
            {"supply", "Питание", {"supply", "battery", "ain1", "ain2"}, readSupplyKeys, supply},
            {"outputs", "Выходы", {"outputs"}, readOutputKeys, outputs},
            {"counters", "Счётчики", {"generators", "seconds"}, readCounterKeys, counters},
        },
        outputsOff,
    };
    return area;
}

}  // namespace ktx::check
