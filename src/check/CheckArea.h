#pragma once
// What each area's check/ folder gives the line check, declared here once for
// every area of the build's list (base/AreaList.h). In the area's
// check/CheckRegistration.h: StepKeys_<area>, the profile keys of its steps
// (a StepPlan holds every area's); in its check/ sources: checkArea_<area>(),
// its step types and the cleanup its steps may leave owed. The build gathers
// the areas' CheckRegistration.h files into check/CheckRegistrations.h.
#include <string>
#include <string_view>
#include <vector>

#include "base/AreaList.h"
#include "check/Record.h"

namespace ktx::check {

struct Range {
    double low = 0;
    double high = 0;
};

struct StepPlan;
class ProfileReader;
class StepRun;

// One type of step a profile can name.
struct StepType {
    std::string_view type;               // as the profile names it ("supply")
    std::string_view title;              // as the window names it, UTF-8 ("Питание")
    std::vector<std::string_view> keys;  // its keys besides type, name, optional and skip
    // Reads those keys into plan, then refuses a step without the limits its
    // judgement needs.
    void (*read)(ProfileReader& reader, StepPlan& plan);
    // Measures and judges into step.
    void (*run)(StepRun& run, const StepPlan& plan, StepRecord& step);
    // Texts of its keys the exchange logs must not show (a PIN, a password).
    void (*secrets)(const StepPlan& plan, std::vector<std::string>& out) = nullptr;
};

struct CheckArea {
    std::vector<StepType> steps;
    // Undoes what its steps switched on (the outputs, the modem) once one of
    // them said so with StepRun::owe(); null when none switches anything.
    void (*cleanup)(StepRun& run) = nullptr;
};

#define KTX_CHECK_AREA_DECLARATION(area) const CheckArea& checkArea_##area();
KTX_FOR_EACH_AREA(KTX_CHECK_AREA_DECLARATION)
#undef KTX_CHECK_AREA_DECLARATION

// Every area's, in the areas' order.
const std::vector<const CheckArea*>& checkAreas();
// The step type a profile names type, or nullptr.
const StepType* findStepType(std::string_view type);

}  // namespace ktx::check
