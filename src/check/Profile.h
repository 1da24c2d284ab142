#pragma once
// The test profile: the steps in order, each with its limits. A JSON file;
// the built-in one is printed by --print-profile for a user to start from.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/CheckArea.h"
#include "check/CheckRegistrations.h"
#include "check/Record.h"

namespace ktx::check {

// A step as the profile gives it: the keys every step has, and each area's
// keys of its own steps (only those of the step's type are set).
struct CommonStepPlan {
    std::string type;  // one of the step types the areas register
    std::string name;
    bool optional = false;
    bool skip = false;
};

#define KTX_STEP_KEYS(area) , StepKeys_##area
struct StepPlan : CommonStepPlan KTX_FOR_EACH_AREA(KTX_STEP_KEYS) {};
#undef KTX_STEP_KEYS

struct Profile {
    std::string name;
    std::string hash;  // of the text it was read from
    std::vector<StepPlan> steps;
};

// The built-in profile's JSON text.
std::string_view defaultProfileText();

// Reads a profile; on failure error names the key ("steps[3].pin") and what
// was expected there.
bool parseProfile(std::string_view text, Profile& out, std::string& error);
bool loadProfileFile(const std::string& path, Profile& out, std::string& error);

// "fnv1a64:" and the 64-bit FNV-1a hash of the bytes in hex.
std::string profileHash(std::string_view text);

}  // namespace ktx::check
