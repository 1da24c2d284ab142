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
    LinkSession session(context, LinkMode::Fast);
    if (!session)
        return outcome;
    outcome.opened = true;
    ReplyBuffer<kReplyBytes> reply;
    session.exchange("GACCELERATE$", reply, {0, kReplyBudget});
    session.close();
    outcome.reading = scanAccelReading(reply.c_str());
    return outcome;
}

}  // namespace ktx::accel
