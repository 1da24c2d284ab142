#include "rs485/ExtenderPoll.h"

#include "link/ReplyBuffer.h"
#include "base/TextCodec.h"
#include "rs485/Rs485Messages.h"

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
    UsbLink& link = context.link;
    if (!link.OpenLink(false)) {
        Log485(context.log, "%s", portErrorText().c_str());
        return outcome;
    }
    outcome.opened = true;
    outcome.command = extenderCommand();
    link.SendCommand(outcome.command.c_str());
    context.time.sleepMs(kExtenderWaitMs);

    ReplyBuffer<128> reply;
    reply.clear();
    link.ReadReply(reply.data(), 127);
    outcome.reply = reply.c_str();
    if (link.transferred() != 0) {
        const ExtenderAnswer answer = parseExtenderAnswer(reply.c_str());
        reportAnswer(context.log, answer, outcome.reply);
        if (answer.check == AnswerCheck::Accepted) {
            context.log.streamLine("485", "485rash", extenderLogFields(answer.p(), answer.m()));
            outcome.states = extenderInputStates(answer.p(), answer.m());
        }
    }
    link.CloseLink();
    return outcome;
}

}  // namespace ktx::rs485
