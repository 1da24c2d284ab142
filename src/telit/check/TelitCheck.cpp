#include "telit/check/CheckRegistration.h"

namespace ktx::check {

const CheckArea& checkArea_telit()
{
    static const CheckArea area;
    return area;
}

}  // namespace ktx::check
