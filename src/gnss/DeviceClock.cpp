#include "gnss/DeviceClock.h"

#include "gnss/ClockRegisters.h"
#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"

namespace ktx::gnss {

namespace {

constexpr uint32_t kClockReplyBytes = 127;
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
    ReplyBuffer<kClockReplyBytes> reply;
    if (!exchangeAlone(context, LinkMode::Normal, "GTIMER$", reply))
        return outcome;
    outcome.opened = true;
    decodeInto(outcome, reply.c_str(), "");
    return outcome;
}

ClockOutcome setClock(AppContext& context)
{
    const std::string command = timerCommand(encodeClock(context.time.wallClockUtcMs()));
    ClockOutcome outcome;
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        session.sayNotConnected();
        return outcome;
    }
    outcome.opened = true;
    LogModem(context.log, ">%s", command.c_str());
    ReplyBuffer<kClockReplyBytes> reply;
    session.exchange(command, reply, {kSetWaitMs});
    session.close();
    LogModem(context.log, "<%s", reply.c_str());
    decodeInto(outcome, reply.c_str(), "ошибка при установке");
    return outcome;
}

}  // namespace ktx::gnss
