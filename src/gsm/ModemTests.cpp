#include "gsm/ModemTests.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/FileWriter.h"

#include "gsm/ModemFrame.h"
#include "gsm/ModemJudge.h"
#include "base/TextCodec.h"
#include "link/UsbAccess.h"
#include "link/WriteReport.h"

namespace ktx::gsm {
namespace {

struct Frame {
    const char* payload;
    int64_t timeoutMs;
    FrameEnding ending = FrameEnding::CrDollar;
};

// Frames that only prepare the modem before a PIN query; their replies are
// read and not judged.
constexpr Frame kPinPreparation[] = {{"AT+CMEE=1", 100}, {"AT#SLED=2,10,10", 100}};

const ReplyTable kPinStatusTable{
    {
        {"READY", "PIN код введен или отключен", true},
        {"CME ERROR: 10", "Необходимо вставить SIM-карту. Проверьте контакт.", false},
        {"SIM PIN", "Ожидается ввод PIN-кода.", false},
        {"SIM PUK", "SIM-карта заблокирована. Вставьте карту в телефон и введите PUK.", false},
    },
    nullptr,
    "Ошибка PIN: %s",
};

const ReplyTable kPinEntryTable{
    {
        {"READY", "PIN код введен или отключен", true},
        {"CME ERROR: 10", "Необходимо вставить SIM-карту. Проверьте контакт.", false},
        {"CME ERROR: 16", "Неверный PIN-код!", false},
    },
    "%s",
};

const ReplyTable kRegistrationTable{
    {
        {"+CGREG: 0,1", "Прибор зарегистрирован в сети", true},
        {"+CGREG: 0,0", "Модем не подключен к сети и НЕ находится в режиме поиска.", false},
        {"+CGREG: 0,2", "Модем не подключен к сети и находится в режиме поиска.", false},
        {"+CGREG: 0,3", "Прибор не зарегистрирован в сети.", false},
        {"+CGREG: 0,4", "Неизвестная ошибка регистрации.", false},
        {"+CGREG: 0,5", "Прибор зарегистрирован в сети и находится в роуминге.", true},
    },
    "Неизвестный ответ: %s",
};

const ReplyTable kGprsAvailabilityTable{
    {
        {"CGATT: 1", "Базовая станция поддерживает GPRS", true},
        {"CGATT: 0", "Базовая станция не поддерживает GPRS", false},
    },
    "Неизвестный ответ: %s",
};

const ReplyTable kAccessPointTable{{{"OK", nullptr, true}}, "Ошибка ввода точки доступа: %s"};
const ReplyTable kSocketTable{{{"OK", "Настройки введены", true}}, "Ошибка ввода настроек: %s"};
const ReplyTable kContextTable{{{"#SGACT", "GPRS Подключен, IP адрес устройства %s", true}}, "Ошибка ввода настроек: %s"};
const ReplyTable kServerTable{{{"CONNECT", nullptr, true}}, "Ошибка подключения: %s"};
// Closing the connection never turns a shape green.
const ReplyTable kDisconnectTable{{{"OK", "Соединение закрыто", false}}, "Ошибка закрытия соединения: %s"};
const ReplyTable kDialTable{{{"OK", "Звонок прошел", true}}, "Ошибка набора номера: %s"};
const ReplyTable kModemCheckTable{{{"OK", "GSM модем включен и корректно отвечает", true}}, nullptr,
                                  "Модем не отвечает корректно: %s"};

struct SettingsCommand {
    const char* atCommand;
    bool counts;
};

constexpr SettingsCommand kSettingsCommands[] = {
    {"ATE0", true},          {"AT#SLED=2,10,10", false}, {"AT+CMEE=1", false},   {"AT+CFUN=1", true},
    {"AT+CSCS=\"GSM\"", true}, {"AT+CGREG=0", true},     {"AT+CLIP=1", true},    {"AT#SKIPESC=1", true},
    {"AT+CNMI=1,1", true},   {"ATS12=20", true},         {"AT#CAP=1", false},    {"AT#SRP=0", true},
    {"AT#STM=1", true},      {"AT+CRSL=4", true},        {"AT#HFMICG=3", true},  {"AT+CLVL=3", true},
    {"AT#PSEL=3", true},     {"AT#SHFEC=1", true},       {"AT#SHFNR=1", true},   {"AT#SHFSD=1", true},
    {"AT#SHSSD=1", true},
};

constexpr uint32_t kPowerOnBufferBytes = 1280;
constexpr uint32_t kAudioBufferBytes = 1024;
constexpr int64_t kToggleWaitMs = 13000;
constexpr int64_t kPowerOffSettleMs = 3000;
constexpr int64_t kServerTimeoutMs = 40000;
constexpr int64_t kSpeakerSeconds = 20;
constexpr std::string_view kSpeakerDone = "TEST_DYN:TEST COMLETE;";

const char* const kPrimaryDnsHost = "gate.korvantix.example";
const char* const kSecondaryDnsHost = "gate2.korvantix.example";

std::string joined(std::string_view a, std::string_view b)
{
    std::string text(a);
    text += b;
    return text;
}

bool parsesWorkGsm(const std::string& reply)
{
    int state = 0;
    return std::sscanf(reply.c_str(), "WORKGSM=%d", &state) == 1;
}

}  // namespace

bool SendModemCommand(AppContext& context, std::string_view atCommand)
{
    const TimedFrame frame = timedFrame(200, atCommand);
    std::vector<char> buffer(128, '\0');
    context.link.Exchange(frame.text, buffer.data(), 127, {static_cast<uint32_t>(frame.waitMs)});
    const std::string reply(buffer.data());
    if (reply.find("OK") != std::string::npos || atCommand.find("AT#CAP=1") != std::string_view::npos)
        return true;
    LogModem(context.log, ">%s", std::string(atCommand).c_str());
    LogModem(context.log, "<%s", reply.c_str());
    return false;
}

ConsoleTimeout parseConsoleTimeout(std::string_view text)
{
    ConsoleTimeout timeout;
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        negative = text[at++] == '-';
    if (at == text.size())
        return timeout;
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9')
            return timeout;
        if (value <= INT32_MAX)  // beyond that only "too large" matters
            value = value * 10 + (text[at] - '0');
    }
    if (negative) {
        // As a plain integer read would: out of range is not a number.
        if (value <= int64_t(INT32_MAX) + 1)
            timeout.ms = -value;
        return timeout;
    }
    timeout.ms = value;
    timeout.tooLong = ModemWait(value) > kLongestConsoleWaitMs;
    return timeout;
}

std::string_view builtInDnsSample()
{
    static const std::string sample = std::string("#QDNS: \"") + kSecondaryDnsHost + "\",\"192.0.2.47\"";
    return sample;
}

void parseDnsAnswer(LogSink& log, std::string_view sampleView)
{
    const std::string sample(sampleView);
    LogModem(log, "%s", sample.c_str());
    if (sample.find("#QDNS:") == std::string::npos)
        return;
    int a = 0, b = 0, c = 0, d = 0;
    if (const size_t at = sample.find(kPrimaryDnsHost); at != std::string::npos) {
        LogModem(log, "%s", sample.c_str() + at);
        const size_t restAt = std::min(sample.size(), at + std::strlen(kPrimaryDnsHost) + 2);
        const char* rest = sample.c_str() + restAt;
        LogModem(log, "%s", rest);
        if (std::sscanf(rest, "\"%d.%d.%d.%d\"", &a, &b, &c, &d) == 4)
            LogModem(log, "Viva! %d.%d.%d.%d", a, b, c, d);
    } else if (const size_t at2 = sample.find(kSecondaryDnsHost); at2 != std::string::npos) {
        const size_t restAt = std::min(sample.size(), at2 + std::strlen(kSecondaryDnsHost) + 2);
        if (std::sscanf(sample.c_str() + restAt, "\"%d.%d.%d.%d\"", &a, &b, &c, &d) == 4)
            LogModem(log, "Viva! res %d.%d.%d.%d", a, b, c, d);
    }
}

std::optional<SignalQuality> readSignalQuality(AppContext& context)
{
    LinkSession session(context, LinkMode::Normal);
    if (!session)
        return std::nullopt;
    const TimedFrame frame = timedFrame(1000, "AT+CSQ");
    const std::string reply = session.exchange(frame.text, 127, {static_cast<uint32_t>(frame.waitMs)});
    session.close();
    LogModem(context.log, ">%s", "AT+CSQ");
    LogModem(context.log, "<%s", reply.c_str());
    const char* found = std::strstr(reply.c_str(), "+CSQ:");
    SignalQuality quality;
    if (!found || std::sscanf(found, "+CSQ: %d,%d", &quality.rssi, &quality.ber) != 2)
        return std::nullopt;
    return quality;
}

ModemTests::ModemTests(AppContext& context, ModemView& view, std::string workDir)
    : context_(context), view_(view), workDir_(std::move(workDir))
{
}

void ModemTests::line(const std::string& text)
{
    LogModem(context_.log, "%s", text.c_str());
}

void ModemTests::say(const char* utf8Text)
{
    line(cp1251FromUtf8(utf8Text));
}

void ModemTests::begin(int mode, const std::string& title)
{
    view_.stopStatusPoll();
    if (mode > 0)
        view_.paintShape(mode, false);
    line(separatorLine());
    if (!title.empty())
        line(title);
}

bool ModemTests::opened(const LinkSession& session)
{
    if (!session)
        line(portErrorText());
    return session.isOpen();
}

std::string ModemTests::exchange(LinkSession& session, const TimedFrame& frame, uint32_t bufferBytes)
{
    const uint32_t waitMs = frame.waitMs > 0 ? static_cast<uint32_t>(frame.waitMs) : 0;
    return session.exchange(frame.text, bufferBytes - 1, {waitMs});
}

void ModemTests::endConnection(LinkSession& session, int64_t timeoutMs, uint32_t bufferBytes)
{
    const TimedFrame escape = timedEscape(timeoutMs);
    context_.time.sleepMs(static_cast<uint32_t>(escape.waitMs));
    exchange(session, escape, bufferBytes);
}

std::string ModemTests::filePath(const char* name) const
{
    return workDir_.empty() ? std::string(name) : workDir_ + "/" + name;
}

void ModemTests::powerOff()
{
    for (int mode : kShapeModes)
        view_.paintShape(mode, false);
    begin(0, cp1251FromUtf8("Отключение модуля GSM"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string reply = exchange(session, {"WORKGSM=0;$", 100});
    session.close();  // before the settle wait
    if (parsesWorkGsm(reply)) {
        line(formatLine("Питание отключено: %s", reply));
        context_.time.sleepMs(kPowerOffSettleMs);
    } else {
        line(formatLine("Ошибка остановки модуля GSM: %s", reply));
    }
}

void ModemTests::powerOn(int simIndex)
{
    begin(1, cp1251FromUtf8("Включение модуля GSM"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string power = exchange(session, {"WORKGSM=1," + std::to_string(simIndex) + ";$", 0}, kPowerOnBufferBytes);
    if (!parsesWorkGsm(power)) {
        line(formatLine("Ошибка запуска модуля GSM: %s", power));
        return;
    }
    line(formatLine("Питание включено: %s", power));
    say("Процедура инициализации (может занять некоторое время)");
    const std::string toggle = exchange(session, {"TOGLEBUTTON;$", kToggleWaitMs}, kPowerOnBufferBytes);
    if (toggle.compare(0, 11, "TOGLEBUTTON") != 0) {
        line(formatLine("Ошибка инициализации: %s", toggle));
        return;
    }
    const std::string check = exchange(session, timedFrame(100, "AT"), kPowerOnBufferBytes);
    const Verdict verdict = judgeReply(kModemCheckTable, check);
    line(verdict.line);
    if (verdict.success)
        view_.paintShape(1, true);
}

void ModemTests::pinStatus()
{
    view_.paintShape(3, false);
    begin(2, cp1251FromUtf8("Проверка статуса PIN"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    for (const Frame& frame : kPinPreparation)
        exchange(session, timedFrame(frame.timeoutMs, frame.payload, frame.ending));
    const std::string reply = exchange(session, timedFrame(1000, "AT+CPIN?"));
    const Verdict verdict = judgeReply(kPinStatusTable, reply);
    line(verdict.line);
    if (verdict.success) {
        view_.paintShape(2, true);
        view_.paintShape(3, true);
    }
}

void ModemTests::pinEntry(std::string_view pin)
{
    view_.paintShape(2, false);
    begin(3, cp1251FromUtf8("Ввод PIN"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    for (const Frame& frame : kPinPreparation)
        exchange(session, timedFrame(frame.timeoutMs, frame.payload, frame.ending));
    const std::string entry = "AT+CPIN=\"" + std::string(pin) + "\"";
    const std::string reply = exchange(session, timedFrame(4000, entry));
    session.close();  // the status query below opens its own
    const Verdict verdict = judgeReply(kPinEntryTable, reply);
    line(verdict.line);
    if (verdict.success) {
        view_.paintShape(2, true);
        view_.paintShape(3, true);
    }
    pinStatus();
}

void ModemTests::settings()
{
    begin(4, cp1251FromUtf8("Ввод настроек"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    bool allCounted = true;
    for (const SettingsCommand& command : kSettingsCommands) {
        const bool accepted = SendModemCommand(context_, command.atCommand);
        if (command.counts && !accepted)
            allCounted = false;
    }
    session.close();
    if (allCounted) {
        say("Ввод настроек завершен");
        view_.paintShape(4, true);
    } else {
        say("Ошибка ввода настроек");
    }
}

void ModemTests::registration()
{
    begin(5, cp1251FromUtf8("Проверка регистрации в сети"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string reply = exchange(session, timedFrame(100, "AT+CGREG?"));
    const Verdict verdict = judgeReply(kRegistrationTable, reply);
    line(verdict.line);
    if (verdict.success)
        view_.paintShape(5, true);
}

void ModemTests::gprsAvailability()
{
    begin(6, cp1251FromUtf8("Проверка наличия GPRS в базовой станции"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string reply = exchange(session, timedFrame(100, "AT+CGATT?"));
    const Verdict verdict = judgeReply(kGprsAvailabilityTable, reply);
    line(verdict.line);
    if (verdict.success)
        view_.paintShape(6, true);
}

void ModemTests::gprsConnect(std::string_view apn, std::string_view user, std::string_view password)
{
    begin(7, cp1251FromUtf8("Подключение GPRS"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    struct Step {
        std::string payload;
        int64_t timeoutMs;
        const ReplyTable& table;
    };
    const Step steps[] = {
        {joined(joined("AT+CGDCONT=1,\"IP\",\"", apn), "\",\"0.0.0.0\",0,0"), 1000, kAccessPointTable},
        {"AT#SCFG=1,1,1500,0,300,30", 1000, kSocketTable},
        {joined(joined(joined(joined("AT#SGACT=1,1,\"", user), "\",\""), password), "\""), 5000, kContextTable},
    };
    Verdict verdict;
    std::vector<std::string> lines;
    for (const Step& step : steps) {
        const std::string reply = exchange(session, timedFrame(step.timeoutMs, step.payload));
        verdict = judgeReply(step.table, reply);
        if (verdict.hasLine)
            lines.push_back(verdict.line);
        if (!verdict.success)
            break;
    }
    session.close();
    for (const std::string& text : lines)
        line(text);
    if (verdict.success)
        view_.paintShape(7, true);
}

void ModemTests::serverConnect(std::string_view ip, std::string_view port)
{
    begin(8, formatLine("Подключение к серверу %s порт %s", ip, port));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string payload = joined(joined(joined(joined("AT#SD=1,0,", port), ",\""), ip), "\"");
    const std::string reply = exchange(session, timedFrame(kServerTimeoutMs, payload));
    line(reply);
    const Verdict verdict = judgeReply(kServerTable, reply);
    if (verdict.success) {
        endConnection(session, 2000, 128);
        session.close();
        say("Установлено успешное соединение с сервером");
        view_.paintShape(8, true);
        return;
    }
    session.close();
    line(verdict.line);
}

void ModemTests::disconnect()
{
    begin(8, cp1251FromUtf8("Отключение от сервера"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string reply = exchange(session, timedFrame(3000, "AT#SH=1"));
    line(judgeReply(kDisconnectTable, reply).line);
}

void ModemTests::call(std::string_view number)
{
    begin(10, formatLine("Звонок на номер %s", number));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    exchange(session, timedFrame(500, "AT+FCLASS=8", FrameEnding::CrSemicolon));
    const std::string reply = exchange(session, timedFrame(10000, joined("ATD", number), FrameEnding::CrSemicolon));
    const Verdict verdict = judgeReply(kDialTable, reply);
    line(verdict.line);
    if (verdict.success)
        view_.paintShape(10, true);
}

void ModemTests::sms(std::string_view textView)
{
    begin(11, cp1251FromUtf8("Отправка SMS команды"));
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const std::string text(textView);
    LogModem(context_.log, ">%s", text.c_str());
    const std::string reply = exchange(session, {text, 1100});
    session.close();
    if (reply.empty()) {
        line(noAnswerLine());
        return;
    }
    LogModem(context_.log, "<%s", reply.c_str());
    view_.paintShape(11, true);
}

void ModemTests::atConsole(std::string_view command, std::string_view timeoutText)
{
    view_.stopStatusPoll();
    if (command.empty()) {
        say("Сначала введите AT команду");
        return;
    }
    line(separatorLine());
    say("AT команда");
    const ConsoleTimeout timeout = parseConsoleTimeout(timeoutText);
    if (timeout.tooLong) {
        // Nothing is sent: the window would wait past the limit.
        LogModem(context_.log, "%s",
            formatLine("Слишком большой таймаут: %s мс (ожидание не может превышать 10 минут)", timeoutText).c_str());
        return;
    }
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const TimedFrame frame = timedFrame(timeout.ms, command, FrameEnding::CrLfSemicolon);
    LogModem(context_.log, "> %s", frame.text.c_str());
    LogModem(context_.log, "< %s", exchange(session, frame).c_str());
}

void ModemTests::dnsParse()
{
    parseDnsAnswer(context_.log, builtInDnsSample());
}

void ModemTests::microphone()
{
    begin(10, {});
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    const TimedFrame frame = timedFrame(5000, "AT#SPCM=2,0", FrameEnding::CrSemicolon);
    LogModem(context_.log, "%s", frame.text.c_str());
    std::vector<char> buffer(kAudioBufferBytes, '\0');
    const uint32_t received = context_.link.Exchange(frame.text, buffer.data(), kAudioBufferBytes - 1,
        {static_cast<uint32_t>(frame.waitMs)});
    reportWrite(context_.log, replaceFile(filePath("mictest.txt"), std::string_view(buffer.data(), received)));
    LogModem(context_.log, "%d", static_cast<int>(received));
    LogModem(context_.log, "%s", buffer.data());
    endConnection(session, 3000, kAudioBufferBytes);
}

void ModemTests::speaker()
{
    begin(10, {});
    LinkSession session(context_, LinkMode::Normal);
    if (!opened(session))
        return;
    static const char* const kCommand = "TEST_DYN;";
    LogModem(context_.log, "%s", kCommand);
    // Monotonic whole seconds: a clock change cannot stretch or cut the test.
    const int64_t startS = context_.time.monotonicMs() / 1000;
    context_.link.SendCommand(kCommand);
    std::vector<char> buffer(kAudioBufferBytes, '\0');
    uint32_t received = 0;
    while (context_.time.monotonicMs() / 1000 - startS < kSpeakerSeconds) {
        const int64_t readStartUs = context_.time.monotonicUs();
        std::fill(buffer.begin(), buffer.end(), '\0');
        context_.link.ReadReply(buffer.data(), kAudioBufferBytes - 1);
        received = context_.link.transferred();
        if (received == 0) {
            // A read that returned at once must not spin the loop.
            if (context_.time.monotonicUs() == readStartUs)
                context_.time.sleepMs(kNormalTimeoutMs);
            continue;
        }
        if (std::string_view(buffer.data(), kSpeakerDone.size()) == kSpeakerDone)
            break;
        reportWrite(context_.log, appendToFile(filePath("stream.txt"), std::string_view(buffer.data(), received)));
    }
    LogModem(context_.log, "%d", static_cast<int>(received));
    LogModem(context_.log, "%s", buffer.data());
}

}  // namespace ktx::gsm
