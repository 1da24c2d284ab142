#include "gsm/ModemJudge.h"

#include <cstring>
#include <initializer_list>

#include "gsm/ModemFrame.h"
#include "base/TextCodec.h"

namespace ktx::gsm {

namespace {

std::string fill(const char* utf8Format, std::initializer_list<std::string_view> values)
{
    std::string line = cp1251FromUtf8(utf8Format);
    size_t from = 0;
    for (std::string_view value : values) {
        const size_t at = line.find("%s", from);
        if (at == std::string::npos)
            break;
        line.replace(at, 2, value);
        from = at + value.size();
    }
    return line;
}

}  // namespace

std::string formatLine(const char* utf8Format, std::string_view bytes)
{
    return fill(utf8Format, {bytes});
}

std::string formatLine(const char* utf8Format, std::string_view first, std::string_view second)
{
    return fill(utf8Format, {first, second});
}

Verdict judgeReply(const ReplyTable& table, std::string_view reply)
{
    Verdict verdict;
    for (const ReplyRule& rule : table.rules) {
        const size_t at = reply.find(rule.word);
        if (at == std::string_view::npos)
            continue;
        verdict.success = rule.success;
        if (rule.message) {
            verdict.hasLine = true;
            verdict.line = formatLine(rule.message, reply.substr(at + std::strlen(rule.word)));
        }
        return verdict;
    }
    verdict.hasLine = true;
    if (table.unknown && hasDeviceAnswer(reply))
        verdict.line = formatLine(table.unknown, modemText(reply));
    else if (table.otherwise)
        verdict.line = formatLine(table.otherwise, reply);
    else
        verdict.line = noAnswerLine();
    return verdict;
}

const std::string& separatorLine()
{
    static const std::string text = "---------------------";
    return text;
}

const std::string& noAnswerLine()
{
    static const std::string text = cp1251FromUtf8("Нет ответа от прибора");
    return text;
}

}  // namespace ktx::gsm
