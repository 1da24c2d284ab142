#pragma once
// Answers "FL_READ_VERSION$" with the firmware's version text, the first
// replies optionally one byte short to exercise the console's retries.
#include <string>

#include "sim/SimModule.h"

namespace ktx::sim {

class VersionModule : public SimModule {
public:
    // shortReplies: how many of the first replies lose their last byte;
    // negative: all of them.
    VersionModule(std::string version, int shortReplies);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    int repliesSent() const { return repliesSent_; }

private:
    std::string version_;
    int shortReplies_;
    int repliesSent_ = 0;
};

}  // namespace ktx::sim
