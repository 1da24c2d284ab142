#include "gnss/ReceiverTest.h"

#include "gnss/AntennaCheck.h"
#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"

namespace ktx::gnss {

namespace {

constexpr uint32_t kReceiverReplyBytes = 127;
constexpr uint32_t kStartWaitMs = 2000;

}  // namespace

std::optional<int32_t> requestAntennaReading(AppContext& context)
{
    ReplyBuffer<kReceiverReplyBytes> reply;
    if (!exchangeAlone(context, LinkMode::Normal, "ADD_TEST$", reply))
        return std::nullopt;
    return scanAntennaReading(reply.c_str());
}

void startReceiver(AppContext& context)
{
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        session.sayNotConnected();
        return;
    }
    ReplyBuffer<kReceiverReplyBytes> reply;
    session.exchange("GPS_START$", reply, {kStartWaitMs});
}

PositionReply requestPosition(AppContext& context)
{
    PositionReply result;
    ReplyBuffer<kReceiverReplyBytes> reply;
    if (!exchangeAlone(context, LinkMode::Normal, "GPOINT$", reply))
        return result;
    result.opened = true;
    result.raw = reply.c_str();
    result.words = scanPoint(reply.c_str());
    return result;
}

}  // namespace ktx::gnss
