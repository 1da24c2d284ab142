#include "gnss/DeviceClock.h"

#include "gnss/ClockRegisters.h"
#include "link/ReplyBuffer.h"

namespace ktx::gnss {

namespace {

constexpr uint32_t kReplyBytes = 127;
constexpr uint32_t kSetWaitMs = 50;

void decodeInto(ClockOutcome& outcome, const char* reply, const char* fallback)
{
    outcome.registers = scanTimer(reply);
    outcome.text = outcome.registers ? clockText(*outcome.registers) : fallback;
}

}  // namespace

ClockOutcome readClock(AppContext& context)
{
    ClockOutcome outcome;
    if (!context.link.OpenLink(false))
        return outcome;
    outcome.opened = true;
    ReplyBuffer<kReplyBytes> reply;
    context.link.SendCommand("GTIMER$");
    reply.clear();
    context.link.ReadReply(reply.data(), kReplyBytes);
    context.link.CloseLink();
    decodeInto(outcome, reply.c_str(), "");
    return outcome;
}

ClockOutcome setClock(AppContext& context)
{
    const std::string command = timerCommand(encodeClock(context.time.wallClockUtcMs()));
    ClockOutcome outcome;
    if (!context.link.OpenLink(false))
        return outcome;
    outcome.opened = true;
    LogModem(context.log, ">%s", command.c_str());
    ReplyBuffer<kReplyBytes> reply;
    context.link.SendCommand(command.c_str());
    reply.clear();
    context.time.sleepMs(kSetWaitMs);
    context.link.ReadReply(reply.data(), kReplyBytes);
    context.link.CloseLink();
    LogModem(context.log, "<%s", reply.c_str());
    decodeInto(outcome, reply.c_str(), "ошибка при установке");
    return outcome;
}

}  // namespace ktx::gnss
