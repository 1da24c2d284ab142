#include "onewire/TemperatureTest.h"

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "link/UsbAccess.h"
#include "onewire/IdentifierRead.h"
#include "onewire/OneWireMessages.h"
#include "onewire/OneWireReplies.h"

namespace ktx::onewire {

int TemperatureTest::advance()
{
    index_ = (index_ + 1) % kSensorCount;
    return index_;
}

TickResult TemperatureTest::poll(const std::string& address)
{
    TickResult result;
    const std::string sent = addressForDevice(address);
    LinkSession session(context_, LinkMode::Normal);
    if (!session) {
        sayOpenFailure(context_.log, session.link(), openFailedText());
        result.outcome = TickOutcome::OpenFailed;
        return result;
    }
    UsbLink& link = session.link();
    link.FormatCommand("GTEMPFROMADDR=%s;$", sent.c_str());
    ReplyBuffer<100> reply;
    std::optional<float> value;
    for (int attempt = 1; attempt <= kAttempts && !value; ++attempt) {
        link.PurgeLink();
        link.WriteCommand();
        // Zeroed for every read: a short reply must not pick up the tail of
        // an earlier one and read as another number.
        reply.clear();
        link.ReadReply(reply.data(), kTemperatureReplyBytes);
        if (link.transferred() <= kTemperatureNameBytes)
            continue;
        value = parseTemperatureReply(reply.c_str());
        if (value)
            break;
        context_.time.sleepMs(kRetryPauseMs);
        if (attempt == kAttempts) {
            LogDebug(context_.log, 1, "%s", sendFailedText().c_str());
            result.outcome = TickOutcome::Unreadable;
            return result;
        }
    }
    if (!value)
        return result;
    result.value = *value;
    if (*value == kNoReading) {
        result.outcome = TickOutcome::NoReading;
        return result;
    }
    context_.log.streamLine("1WIRE", "1WIREstream", temperatureLogFields(sent, *value));
    result.outcome = TickOutcome::Reading;
    return result;
}

}  // namespace ktx::onewire
