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
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        session.sayNotConnected();
        return std::nullopt;
    }
    ReplyBuffer<kReceiverReplyBytes> reply;
    session.exchange("ADD_TEST$", reply);
    session.close();
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
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        session.sayNotConnected();
        return result;
    }
    result.opened = true;
    ReplyBuffer<kReceiverReplyBytes> reply;
    session.exchange("GPOINT$", reply);
    session.close();
    result.raw = reply.c_str();
    result.words = scanPoint(reply.c_str());
    return result;
}

}  // namespace ktx::gnss
