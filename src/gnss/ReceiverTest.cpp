#include "gnss/ReceiverTest.h"

#include "gnss/AntennaCheck.h"
#include "link/ReplyBuffer.h"

namespace ktx::gnss {

namespace {

constexpr uint32_t kReplyBytes = 127;
constexpr uint32_t kStartWaitMs = 2000;

// Sends command and reads one reply into reply, waiting waitMs first.
void exchange(AppContext& context, const char* command, ReplyBuffer<kReplyBytes>& reply, uint32_t waitMs = 0)
{
    context.link.SendCommand(command);
    reply.clear();
    if (waitMs > 0)
        context.time.sleepMs(waitMs);
    context.link.ReadReply(reply.data(), kReplyBytes);
}

}  // namespace

std::optional<int32_t> requestAntennaReading(AppContext& context)
{
    if (!context.link.OpenLink(false))
        return std::nullopt;
    ReplyBuffer<kReplyBytes> reply;
    exchange(context, "ADD_TEST$", reply);
    context.link.CloseLink();
    return scanAntennaReading(reply.c_str());
}

void startReceiver(AppContext& context)
{
    if (!context.link.OpenLink(false))
        return;
    ReplyBuffer<kReplyBytes> reply;
    exchange(context, "GPS_START$", reply, kStartWaitMs);
    context.link.CloseLink();
}

PositionReply requestPosition(AppContext& context)
{
    PositionReply result;
    if (!context.link.OpenLink(false))
        return result;
    result.opened = true;
    ReplyBuffer<kReplyBytes> reply;
    exchange(context, "GPOINT$", reply);
    context.link.CloseLink();
    result.raw = reply.c_str();
    result.words = scanPoint(reply.c_str());
    return result;
}

}  // namespace ktx::gnss
