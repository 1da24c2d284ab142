#include "accel/AccelPoll.h"

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"

namespace ktx::accel {

namespace {

constexpr uint32_t kReplyBytes = 999;
constexpr uint32_t kReplyBudget = 100;

}  // namespace

AccelPollOutcome pollAccelerometer(AppContext& context)
{
    AccelPollOutcome outcome;
    ReplyBuffer<kReplyBytes> reply;
    // Not opened: the tab stops its poll, with nothing said for it.
    if (!exchangeAlone(context, LinkMode::Fast, "GACCELERATE$", reply, {0, kReplyBudget}, [](const LinkSession&) {}))
        return outcome;
    outcome.opened = true;
    outcome.reading = scanAccelReading(reply.c_str());
    return outcome;
}

}  // namespace ktx::accel
