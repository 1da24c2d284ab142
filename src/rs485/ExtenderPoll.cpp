#include "rs485/ExtenderPoll.h"

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "link/UsbAccess.h"
#include "base/TextCodec.h"

namespace ktx::rs485 {
namespace {

const std::string& parseErrorFormat()
{
    static const std::string text = cp1251FromUtf8("Ошибка в разборе ответа: %s");
    return text;
}

// The message has always lacked its closing parenthesis; texts that people
// search logs for stay as they are.
const std::string& crcErrorFormat()
{
    static const std::string text = cp1251FromUtf8("Ошибка CRC (%d != %d");
    return text;
}

const std::string& unknownHeaderFormat()
{
    static const std::string text = cp1251FromUtf8("Неизвестные параметры ответа: %s");
    return text;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void reportAnswer(LogSink& log, const ExtenderAnswer& answer, const std::string& reply)
{
    switch (answer.check) {
    case AnswerCheck::Unparsed:
        Log485(log, parseErrorFormat().c_str(), reply.c_str());
        break;
    case AnswerCheck::CrcMismatch:
        Log485(log, crcErrorFormat().c_str(), int(answer.bytes[6]), int(answer.computedCrc));
        break;
    case AnswerCheck::UnknownHeader:
        Log485(log, unknownHeaderFormat().c_str(), reply.c_str());
        break;
    case AnswerCheck::Accepted:
        break;
    }
}
#pragma GCC diagnostic pop

}  // namespace

ExtenderOutcome pollExtender(AppContext& context)
{
    ExtenderOutcome outcome;
    LinkSession session(context, LinkMode::Normal);
    if (!session) {
        // A refused device says why and what to do, here as in every poll.
        const bool denied = session.link().openFailure().accessDenied;
        Log485(context.log, "%s", (denied ? usbAccessDeniedText() : portErrorText()).c_str());
        if (denied)
            sayOpenFailure(context.log, session.link(), portErrorText());
        return outcome;
    }
    outcome.opened = true;
    outcome.command = extenderCommand();
    ReplyBuffer<127> reply;
    outcome.reply = session.exchange(outcome.command, reply, {kExtenderWaitMs});
    if (session.link().transferred() != 0) {
        const ExtenderAnswer answer = parseExtenderAnswer(reply.c_str());
        reportAnswer(context.log, answer, outcome.reply);
        if (answer.check == AnswerCheck::Accepted) {
            context.log.streamLine("485", "485rash", extenderLogFields(answer.p(), answer.m()));
            outcome.states = extenderInputStates(answer.p(), answer.m());
        }
    }
    return outcome;
}

}  // namespace ktx::rs485
