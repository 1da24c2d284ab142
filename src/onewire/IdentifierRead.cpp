#include "onewire/IdentifierRead.h"

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "link/UsbAccess.h"
#include "onewire/OneWireMessages.h"
#include "onewire/OneWireReplies.h"

namespace ktx::onewire {

IdentifierResult readIdentifier(AppContext& context)
{
    IdentifierResult result;
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        sayOpenFailure(context.log, session.link(), openFailedText());
        return result;
    }
    UsbLink& link = session.link();
    link.FormatCommand("G1WIRE$");
    ReplyBuffer<22> reply;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        link.PurgeLink();
        link.WriteCommand();
        reply.clear();
        link.ReadReply(reply.data(), kIdentifierReplyBytes);
        if (link.transferred() == kIdentifierReplyBytes) {
            const IdentifierReply parsed = parseIdentifierReply(reply.view(kIdentifierReplyBytes));
            session.close();
            if (parsed.kind == IdentifierKind::WrongPrefix) {
                LogDebug(context.log, 1, "%s", wrongPrefixText().c_str());
                result.outcome = IdentifierOutcome::WrongPrefix;
            } else {
                result.outcome = IdentifierOutcome::Read;
                result.text = parsed.text;
            }
            return result;
        }
        context.time.sleepMs(kRetryPauseMs);
    }
    LogDebug(context.log, 1, "%s", sendFailedText().c_str());
    session.close();
    result.outcome = IdentifierOutcome::SendFailed;
    return result;
}

}  // namespace ktx::onewire
