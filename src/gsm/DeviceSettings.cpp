#include "gsm/DeviceSettings.h"

#include "gsm/ModemJudge.h"
#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "base/TextCodec.h"

namespace ktx::gsm {
namespace {

constexpr uint32_t kReplyBytes = 512;
constexpr uint32_t kReplyBudget = 100;
constexpr std::string_view kErasedPin = "\xFF\xFF\xFF\xFF";
constexpr std::string_view kNotSetIp = "255.255.255.255";
constexpr std::string_view kNotSetPort = "-1";
constexpr std::string_view kNullField = "(null)";
constexpr std::string_view kApnPrefix = "APNFULL=";

// The reply as text once its last byte is cut: up to the first zero byte.
std::string_view withoutTerminator(std::string_view reply)
{
    if (reply.empty())
        return reply;
    reply.remove_suffix(1);
    const size_t zero = reply.find('\0');
    return zero == std::string_view::npos ? reply : reply.substr(0, zero);
}

bool beginsWith(std::string_view reply, std::string_view prefix)
{
    // The prefix test reads the reply as text, as the device's string.
    const size_t zero = reply.find('\0');
    const std::string_view text = zero == std::string_view::npos ? reply : reply.substr(0, zero);
    return text.substr(0, prefix.size()) == prefix;
}

// Copies the next quoted field from at on; at ends just past its closing
// quote, or at the end of the text.
std::string nextQuoted(std::string_view text, size_t& at)
{
    const size_t open = text.find('"', at);
    if (open == std::string_view::npos) {
        at = text.size();
        return {};
    }
    const size_t begin = open + 1;
    size_t close = text.find('"', begin);
    if (close == std::string_view::npos)
        close = text.size();
    at = close < text.size() ? close + 1 : text.size();
    return std::string(text.substr(begin, close - begin));
}

std::string notNull(std::string field)
{
    return field == kNullField ? std::string() : field;
}

}  // namespace

std::optional<std::string> takeSettingValue(std::string_view reply, std::string_view prefix, std::string_view notSet)
{
    if (!beginsWith(reply, prefix))
        return std::nullopt;
    const std::string_view text = withoutTerminator(reply);
    const std::string_view value = text.size() > prefix.size() ? text.substr(prefix.size()) : std::string_view{};
    if (value == notSet)
        return std::string();
    return std::string(value);
}

std::optional<AccessPoint> scanAccessPoint(std::string_view reply)
{
    if (!beginsWith(reply, kApnPrefix))
        return std::nullopt;
    const std::string_view text = withoutTerminator(reply);
    if (text.size() <= kApnPrefix.size() || text[kApnPrefix.size()] != '"')
        return std::nullopt;
    AccessPoint point;
    size_t at = 0;
    point.name = nextQuoted(text, at);
    point.user = notNull(nextQuoted(text, at));
    point.password = notNull(nextQuoted(text, at));
    return point;
}

DeviceSettings ReadDeviceSettings(AppContext& context)
{
    DeviceSettings found;
    LogModem(context.log, "%s", separatorLine().c_str());
    LogModem(context.log, "%s", cp1251FromUtf8("Считывание настроек из прибора").c_str());
    if (context.device.version < kSettingsReadVersion) {
        LogModem(context.log, "%s",
            cp1251FromUtf8("Считывание настроек в этой версии прибора не поддерживается!").c_str());
        return found;
    }
    LinkSession session(context, LinkMode::Fast);
    if (!session) {
        session.sayNotConnected();
        return found;
    }
    ReplyBuffer<kReplyBytes> buffer;
    auto ask = [&](const char* query) {
        LogModem(context.log, ": %s", session.exchange(query, buffer, {0, kReplyBudget}));
        return std::string(buffer.view(session.link().transferred()));
    };
    found.pin = takeSettingValue(ask("GPIN;$"), "PIN=", kErasedPin);
    found.accessPoint = scanAccessPoint(ask("GAPNFULL;$"));
    found.ip = takeSettingValue(ask("GIP;$"), "IP=", kNotSetIp);
    found.port = takeSettingValue(ask("GPORT;$"), "PORT=", kNotSetPort);
    session.close();
    return found;
}

}  // namespace ktx::gsm
