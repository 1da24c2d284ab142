#pragma once
// The line check's steps and outcomes as the window shows them: in Russian,
// with the user's decimal separator. The record and its JSON keep the
// English type and outcome names.
#include <QString>
#include <cstdint>

#include "check/Profile.h"
#include "check/Record.h"

namespace ktx {

// The profile's own name for the step, or the Russian name of its type when
// the profile gave none.
QString stepTitle(const check::StepSpec& step);
QString outcomeTitle(check::Outcome outcome);
// "16,8 с" under ru_RU, "16.8 с" under C.
QString secondsText(int64_t ms);

}  // namespace ktx
