// The GSM step of the line check: power-on, SIM, registration, signal, GPRS
// and a server connection, as the GSM tab steps through them.
#include "gsm/check/CheckRegistration.h"

#include "check/Profile.h"
#include "check/ProfileReader.h"
#include "check/StepTools.h"
#include "gsm/ModemTests.h"

namespace ktx::check {
namespace {

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

void readGsmKeys(ProfileReader& r, StepPlan& stepPlan)
{
    r.integer("sim", stepPlan.simIndex, 0, 1);
    r.text("pin", stepPlan.pin);
    r.number("registrationS", stepPlan.registrationS, 0, kLongestWaitS);
    r.optionalRange("signal", stepPlan.signal, 0, 31);
    r.flag("gprs", stepPlan.gprs);
    r.text("apn", stepPlan.apn);
    r.text("apnUser", stepPlan.apnUser);
    r.text("apnPassword", stepPlan.apnPassword);
    r.flag("server", stepPlan.server);
    r.text("serverIp", stepPlan.serverIp);
    r.text("serverPort", stepPlan.serverPort);
}

void gsmSecrets(const StepPlan& stepPlan, std::vector<std::string>& out)
{
    for (const std::string* secret : {&stepPlan.pin, &stepPlan.apnUser, &stepPlan.apnPassword})
        if (!secret->empty())
            out.push_back(*secret);
}

void modemOff(StepRun& run)
{
    ShapeRecorder shapes;
    gsm::ModemTests(run.context, shapes).powerOff();
}

void gsmStep(StepRun& run, const StepPlan& stepPlan, StepRecord& step)
{
    ShapeRecorder shapes;
    gsm::ModemTests modem(run.context, shapes);
    run.owe(modemOff);
    modem.powerOn(stepPlan.simIndex);
    check(step, "power-on", shapes.green(kPowerShape));
    if (!shapes.green(kPowerShape) || run.stopping())
        return note(step, "the modem did not answer after power-on");

    modem.pinStatus();
    if (!shapes.green(kPinShape) && !stepPlan.pin.empty() && !run.stopping())
        modem.pinEntry(stepPlan.pin);
    check(step, "SIM ready", shapes.green(kPinShape));
    if (!shapes.green(kPinShape) || run.stopping())
        return note(step, "the SIM card is not ready");

    const int64_t startMs = run.time.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepPlan.registrationS * 1000);
    for (;;) {
        modem.registration();
        if (shapes.green(kRegistrationShape) || run.time.monotonicMs() - startMs >= limitMs || !run.pause(kRetryMs))
            break;
    }
    const double tookS = roundTo((run.time.monotonicMs() - startMs) / 1000.0, 0.001);
    if (shapes.green(kRegistrationShape))
        judge(step, "registration time", tookS, "s", {0, stepPlan.registrationS});
    else
        add(step, "registration time", nullptr, "s", {0.0, stepPlan.registrationS}, Outcome::Fail);
    if (run.stopping())
        return;

    if (stepPlan.signal) {
        if (const auto quality = gsm::readSignalQuality(run.context); quality && quality->rssi != 99)
            judge(step, "signal quality", quality->rssi, "rssi", *stepPlan.signal);
        else
            add(step, "signal quality", nullptr, "rssi", limitsOf(*stepPlan.signal), Outcome::Skipped);
    }
    if (stepPlan.gprs && !run.stopping()) {
        modem.gprsConnect(stepPlan.apn, stepPlan.apnUser, stepPlan.apnPassword);
        check(step, "GPRS", shapes.green(kGprsShape));
        if (stepPlan.server && shapes.green(kGprsShape) && !run.stopping()) {
            modem.serverConnect(stepPlan.serverIp, stepPlan.serverPort);
            check(step, "server connection", shapes.green(kServerShape));
            modem.disconnect();
        }
    }
}

}  // namespace

const CheckArea& checkArea_gsm()
{
    static const CheckArea area{
        {
            {"gsm", "Модем GSM",
                {"sim", "pin", "registrationS", "signal", "gprs", "apn", "apnUser", "apnPassword", "server",
                    "serverIp", "serverPort"},
                readGsmKeys, gsmStep, gsmSecrets},
        },
        modemOff,
    };
    return area;
}

}  // namespace ktx::check
