#include "accel/AccelPoll.h"

#include "link/ReplyBuffer.h"

namespace ktx::accel {

namespace {

constexpr uint32_t kReplyBytes = 999;
constexpr uint32_t kReplyBudget = 100;

}  // namespace

AccelPollOutcome pollAccelerometer(AppContext& context)
{
    AccelPollOutcome outcome;
    if (!context.link.OpenLink(true))
        return outcome;
    outcome.opened = true;
    ReplyBuffer<kReplyBytes> reply;
    context.link.SendCommand("GACCELERATE$");
    reply.clear();
    context.link.AwaitReply(reply.data(), kReplyBytes, kReplyBudget);
    context.link.CloseLink();
    outcome.reading = scanAccelReading(reply.c_str());
    return outcome;
}

}  // namespace ktx::accel
