#pragma once
// The line check's steps and outcomes as the window shows them: in Russian,
// with the user's decimal separator. The record and its JSON keep the
// English type and outcome names.
#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

#include "check/Profile.h"
#include "check/Record.h"

namespace ktx {

// The profile's own name for the step, or the Russian name of its type when
// the profile gave none.
QString stepTitle(const check::StepPlan& step);
QString stepTitle(const std::string& name, const std::string& type);
QString outcomeTitle(check::Outcome outcome);
// A run's verdict in the words and colour the window shows it in.
struct VerdictText {
    QString text;
    QColor colour;
};
// From korvantix-check's exit code: 0 passed, 1 failed, 2 interrupted, 3 not tested.
VerdictText verdictForExitCode(int exitCode);
// From a stored run: its outcome as the record names it ("pass", "not tested", ...).
VerdictText storedVerdict(const std::string& outcome, bool interrupted);

// "16,8 с" under ru_RU, "16.8 с" under C.
QString secondsText(int64_t ms);

}  // namespace ktx
