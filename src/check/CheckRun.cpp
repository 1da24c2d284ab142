#include "check/CheckRun.h"

#include "link/AppContext.h"
#include "check/Exchanges.h"
#include "check/Steps.h"
#include "link/UsbLink.h"

namespace ktx::check {
namespace {

Outcome judgedStep(const StepPlan& stepPlan, const StepRecord& step)
{
    Outcome outcome = step.measurements.empty() ? Outcome::Error : Outcome::Pass;
    for (const Measurement& m : step.measurements)
        outcome = worse(outcome, m.outcome);
    if (stepPlan.optional && (outcome == Outcome::Fail || outcome == Outcome::Error))
        return Outcome::Marginal;
    return outcome;
}

// A tracker that sent nothing during the whole step did not answer: what
// failed for want of its replies (no value, a false check, a count of 0) is
// "error", not "fail".
void markSilence(StepRecord& step)
{
    for (const Exchange& line : step.log)
        if (line.kind == "received")
            return;
    bool marked = false;
    for (Measurement& m : step.measurements) {
        // Texts (the serial number of the USB chip) were not the tracker's to say.
        if (m.outcome == Outcome::Fail && !m.value.is_string()) {
            m.outcome = Outcome::Error;
            marked = true;
        }
    }
    if (marked)
        step.message = step.message.empty() ? "no answer from the tracker" : step.message + "; no answer from the tracker";
}

// Texts of the profile that the exchange logs must not show.
std::vector<std::string> secretsOf(const Profile& profile)
{
    std::vector<std::string> secrets;
    for (const StepPlan& stepPlan : profile.steps)
        if (const StepType* stepType = findStepType(stepPlan.type); stepType && stepType->secrets)
            stepType->secrets(stepPlan, secrets);
    return secrets;
}

}  // namespace

RunRecord runCheck(FtDriver& driver, StoppableTime& time, const Tracker& tracker, const Profile& profile,
    CheckView& view)
{
    ExchangeLog log(time);
    log.setSecrets(secretsOf(profile));
    RecordingDriver recording(driver, log);
    recording.openOnly(tracker.serial);
    UsbLink link(recording, time);
    link.setDeviceIndex(tracker.index);
    ConsoleCapture consoles(log);
    DeviceInfo info;
    info.serialText = tracker.serial;
    info.index = tracker.index;
    AppContext context{link, time, consoles, info};

    RunRecord record;
    record.device.serial = readableBytes(tracker.serial);
    record.device.description = readableBytes(tracker.description);
    record.profileName = profile.name;
    record.profileHash = profile.hash;
    record.startUtcMs = time.wallClockUtcMs();

    StepRunner steps(context, time, record.device);
    for (size_t i = 0; i < profile.steps.size(); ++i) {
        const StepPlan& stepPlan = profile.steps[i];
        StepRecord step;
        step.name = stepPlan.name;
        step.type = stepPlan.type;
        step.optional = stepPlan.optional;
        step.startUtcMs = time.wallClockUtcMs();
        view.stepStarted(stepPlan, i, profile.steps.size());
        const int64_t startUs = time.monotonicUs();
        if (stepPlan.skip) {
            step.message = "skipped by the profile";
        } else if (time.stopping()) {
            step.message = "not run: the check was interrupted";
        } else {
            log.begin();
            steps.run(stepPlan, step);
            step.log = log.take();
            markSilence(step);
            step.outcome = judgedStep(stepPlan, step);
            if (time.stopping()) {
                step.outcome = Outcome::Error;
                step.message = "interrupted by a signal";
            }
        }
        step.durationMs = (time.monotonicUs() - startUs) / 1000;
        view.stepFinished(step);
        record.outcome = worse(record.outcome, step.outcome);
        record.steps.push_back(std::move(step));
    }

    record.interrupted = time.stopping();
    // The cleanup's own waits must run out even after a stop.
    time.honourStop(false);
    view.cleanupStarted();
    log.begin();
    steps.cleanup();
    record.cleanupLog = log.take();
    view.cleanupFinished();
    record.endUtcMs = time.wallClockUtcMs();
    return record;
}

int exitCodeFor(const RunRecord& record)
{
    if (record.interrupted)
        return 2;
    if (nothingTested(record))
        return 3;
    return record.outcome == Outcome::Fail || record.outcome == Outcome::Error ? 1 : 0;
}

}  // namespace ktx::check
