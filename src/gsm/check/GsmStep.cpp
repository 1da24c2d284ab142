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

void readGsmKeys(ProfileReader& r, StepSpec& stepSpec)
{
    r.integer("sim", stepSpec.simIndex, 0, 1);
    r.text("pin", stepSpec.pin);
    r.number("registrationS", stepSpec.registrationS, 0, kLongestWaitS);
    r.optionalRange("signal", stepSpec.signal, 0, 31);
    r.flag("gprs", stepSpec.gprs);
    r.text("apn", stepSpec.apn);
    r.text("apnUser", stepSpec.apnUser);
    r.text("apnPassword", stepSpec.apnPassword);
    r.flag("server", stepSpec.server);
    r.text("serverIp", stepSpec.serverIp);
    r.text("serverPort", stepSpec.serverPort);
}

void gsmSecrets(const StepSpec& stepSpec, std::vector<std::string>& out)
{
    for (const std::string* secret : {&stepSpec.pin, &stepSpec.apnUser, &stepSpec.apnPassword})
        if (!secret->empty())
            out.push_back(*secret);
}

void modemOff(StepRun& run)
{
    ShapeRecorder shapes;
    gsm::ModemTests(run.context, shapes).powerOff();
}

void gsmStep(StepRun& run, const StepSpec& stepSpec, StepRecord& step)
{
    ShapeRecorder shapes;
    gsm::ModemTests modem(run.context, shapes);
    run.owe(modemOff);
    modem.powerOn(stepSpec.simIndex);
    check(step, "power-on", shapes.green(kPowerShape));
    if (!shapes.green(kPowerShape) || run.stopping())
        return note(step, "the modem did not answer after power-on");

    modem.pinStatus();
    if (!shapes.green(kPinShape) && !stepSpec.pin.empty() && !run.stopping())
        modem.pinEntry(stepSpec.pin);
    check(step, "SIM ready", shapes.green(kPinShape));
    if (!shapes.green(kPinShape) || run.stopping())
        return note(step, "the SIM card is not ready");

    const int64_t startMs = run.time.monotonicMs();
    const auto limitMs = static_cast<int64_t>(stepSpec.registrationS * 1000);
    for (;;) {
        modem.registration();
        if (shapes.green(kRegistrationShape) || run.time.monotonicMs() - startMs >= limitMs || !run.pause(kRetryMs))
            break;
    }
    const double tookS = roundTo((run.time.monotonicMs() - startMs) / 1000.0, 0.001);
    if (shapes.green(kRegistrationShape))
        judge(step, "registration time", tookS, "s", {0, stepSpec.registrationS});
    else
        add(step, "registration time", nullptr, "s", {0.0, stepSpec.registrationS}, Outcome::Fail);
    if (run.stopping())
        return;

    if (stepSpec.signal) {
        if (const auto quality = gsm::readSignalQuality(run.context); quality && quality->rssi != 99)
            judge(step, "signal quality", quality->rssi, "rssi", *stepSpec.signal);
        else
            add(step, "signal quality", nullptr, "rssi", limitsOf(*stepSpec.signal), Outcome::Skipped);
    }
    if (stepSpec.gprs && !run.stopping()) {
        modem.gprsConnect(stepSpec.apn, stepSpec.apnUser, stepSpec.apnPassword);
        check(step, "GPRS", shapes.green(kGprsShape));
        if (stepSpec.server && shapes.green(kGprsShape) && !run.stopping()) {
            modem.serverConnect(stepSpec.serverIp, stepSpec.serverPort);
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
            {"gsm",
                {"sim", "pin", "registrationS", "signal", "gprs", "apn", "apnUser", "apnPassword", "server",
                    "serverIp", "serverPort"},
                readGsmKeys, gsmStep, gsmSecrets},
        },
        modemOff,
    };
    return area;
}

}  // namespace ktx::check
