#pragma once
// The GNSS receiver and the clock in the line check: the profile keys of
// their steps.
#include <optional>

#include "check/CheckArea.h"

namespace ktx::check {

struct StepKeys_gnss {
    // gnss
    double fixS = 60;
    std::optional<double> latitude, longitude;
    double radiusM = 0;
    // clock
    double toleranceS = 5;
};

// Great-circle distance in metres between two points in degrees.
double distanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace ktx::check
