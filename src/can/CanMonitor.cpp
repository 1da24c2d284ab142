#include "can/CanMonitor.h"

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "base/TextCodec.h"
#include "link/UsbAccess.h"

namespace ktx::can {
namespace {

constexpr uint32_t kReplyBytes = 511;

const std::string& errorPrefix()
{
    static const std::string text = cp1251FromUtf8("Ошибка: ");
    return text;
}

}  // namespace

std::string streamFields(const CanSlot& slot)
{
    return formatText("%08x %08x %08x\r\n", slot.id, slot.dataA, slot.dataB);
}

CanPollOutcome CanMonitor::poll(std::string_view decimalPoint)
{
    CanPollOutcome outcome;
    ReplyBuffer<kReplyBytes> reply;
    if (!exchangeAlone(context_, LinkMode::Normal, kCanCommand, reply, {},
            [&](LinkSession& session) { sayOpenFailure(context_.log, session.link(), notConnectedText()); }))
        return outcome;
    outcome.opened = true;

    const auto frames = parseCanReply(reply.c_str());
    if (!frames) {
        LogDebug(context_.log, 1, "%s%s", errorPrefix().c_str(), reply.c_str());
        return outcome;
    }
    outcome.view = takeFrames(*frames, decimalPoint);
    return outcome;
}

CanView CanMonitor::takeFrames(const CanFrames& frames, std::string_view decimalPoint)
{
    CanView view;
    for (const CanSlot& slot : frames) {
        if (slot.id != 0)
            context_.log.streamLine("CAN", "CANstream", streamFields(slot));
        const int group = decodeSlot(slot, grids_, view, decimalPoint);
        if (group < 0)
            continue;
        const size_t at = static_cast<size_t>(group) * 8;
        for (size_t i = 0; i < 4; ++i) {
            lastDecoded_[at + i] = static_cast<uint8_t>(slot.dataA >> (8 * i));
            lastDecoded_[at + 4 + i] = static_cast<uint8_t>(slot.dataB >> (8 * i));
        }
    }
    return view;
}

}  // namespace ktx::can
