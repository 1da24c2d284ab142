#include "check/Steps.h"

namespace ktx::check {

const std::vector<const CheckArea*>& checkAreas()
{
#define KTX_CHECK_AREA(area) &checkArea_##area(),
    static const std::vector<const CheckArea*> areas = {KTX_FOR_EACH_AREA(KTX_CHECK_AREA)};
#undef KTX_CHECK_AREA
    return areas;
}

const StepType* findStepType(std::string_view type)
{
    for (const CheckArea* area : checkAreas())
        for (const StepType& stepType : area->steps)
            if (stepType.type == type)
                return &stepType;
    return nullptr;
}

void StepRunner::run(const StepPlan& stepPlan, StepRecord& step)
{
    if (const StepType* stepType = findStepType(stepPlan.type))
        stepType->run(run_, stepPlan, step);
}

void StepRunner::cleanup()
{
    for (const CheckArea* area : checkAreas())
        if (area->cleanup && run_.settle(area->cleanup))
            area->cleanup(run_);
}

}  // namespace ktx::check
