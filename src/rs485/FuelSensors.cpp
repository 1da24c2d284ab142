#include "rs485/FuelSensors.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "link/UsbAccess.h"

namespace ktx::rs485 {
namespace {

constexpr std::string_view kReplyName = "LLSTEST=";
constexpr uint32_t kReplyBytes = 499;

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// scanf's "%d": blanks, an optional sign, digits.
bool takeInt(const char*& text, int32_t& out)
{
    while (isBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        value = std::min(value * 10 + (*text - '0'), kLimit);
    value = negative ? -value : value;
    out = static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return true;
}

bool takeChar(const char*& text, char c)
{
    if (*text != c)
        return false;
    ++text;
    return true;
}

}  // namespace

std::string fuelCommand(const FuelAddresses& a)
{
    return formatText("LLSTEST=%s,%s,%s,%s,%s,%s,%s,%s;$", a[0].c_str(), a[1].c_str(), a[2].c_str(), a[3].c_str(),
        a[4].c_str(), a[5].c_str(), a[6].c_str(), a[7].c_str());
}

std::optional<FuelReadings> parseFuelReply(const char* reply)
{
    if (std::string_view(reply).substr(0, kReplyName.size()) != kReplyName)
        return std::nullopt;
    const char* text = reply + kReplyName.size();
    FuelReadings readings;
    for (size_t k = 0; k < readings.size(); ++k) {
        if (k > 0 && !takeChar(text, ':'))
            return std::nullopt;
        if (!takeInt(text, readings[k].level) || !takeChar(text, ',') || !takeInt(text, readings[k].temperature))
            return std::nullopt;
    }
    return readings;
}

std::string fuelLogFields(const FuelAddresses& a, const FuelReadings& r)
{
    return formatText("%s(%d)\t%s(%d)\t%s(%d)\t%s(%d)\t%s(%d)\t%s(%d)\t%s(%d)\t%s(%d)\r\n", a[0].c_str(), r[0].level,
        a[1].c_str(), r[1].level, a[2].c_str(), r[2].level, a[3].c_str(), r[3].level, a[4].c_str(), r[4].level,
        a[5].c_str(), r[5].level, a[6].c_str(), r[6].level, a[7].c_str(), r[7].level);
}

int levelBarPosition(int32_t level)
{
    return std::clamp<int32_t>(level, 0, kLevelBarMaximum);
}

std::array<double, kFuelSlots> plottedLevels(const std::optional<FuelReadings>& readings)
{
    std::array<double, kFuelSlots> levels;
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = readings ? (*readings)[i].level : std::numeric_limits<double>::quiet_NaN();
    return levels;
}

FuelOutcome pollFuelSensors(AppContext& context, const FuelAddresses& addresses)
{
    FuelOutcome outcome;
    ReplyBuffer<kReplyBytes> reply;
    if (!exchangeAlone(context, LinkMode::Normal, fuelCommand(addresses), reply, {},
            [&](LinkSession& session) { sayOpenFailure(context.log, session.link(), notConnectedText()); }))
        return outcome;
    outcome.opened = true;

    outcome.readings = parseFuelReply(reply.c_str());
    if (outcome.readings)
        context.log.streamLine("485", "485stream", fuelLogFields(addresses, *outcome.readings));
    return outcome;
}

std::optional<std::string> advancedAddress(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    int32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return std::to_string(int64_t(value) + 8);
}

}  // namespace ktx::rs485
