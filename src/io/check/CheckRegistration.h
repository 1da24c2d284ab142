#pragma once
// The tracker's identity, supply, outputs and counters in the line check:
// the profile keys of their steps.
#include <optional>
#include <vector>

#include "check/CheckArea.h"

namespace ktx::check {

struct OutputWiring {
    int output = 1;                 // 1 or 2
    std::optional<int> input;       // the input (1..8) it is wired to, if any
};

struct StepKeys_io {
    // identification
    Range firmware{0, 0};
    // supply: volts; an unset one is not measured
    std::optional<Range> supply, battery, ain1, ain2;
    // outputs
    std::vector<OutputWiring> outputs;
    // counters: those with a generator connected (1..8), and the seconds
    // between the two readings
    std::vector<int> generators;
    double counterSeconds = 2;
};

}  // namespace ktx::check
