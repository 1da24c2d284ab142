#include "gsm/sim/ModemModule.h"

#include <cctype>
#include <cmath>

#include "sim/SimText.h"

namespace ktx::sim {
namespace {

constexpr std::string_view kFrame = "GSMCOMMAND=";
constexpr std::string_view kSpeakerDone = "TEST_DYN:TEST COMLETE;";
constexpr size_t kSpeakerBlockBytes = 1023;
constexpr int kMaxWrongPins = 3;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The text between the first pair of double quotes after at.
std::string_view quoted(std::string_view text, size_t& at)
{
    const size_t open = text.find('"', at);
    if (open == std::string_view::npos)
        return {};
    const size_t close = text.find('"', open + 1);
    at = close == std::string_view::npos ? text.size() : close + 1;
    return text.substr(open + 1, (close == std::string_view::npos ? text.size() : close) - open - 1);
}

// Commands the modem accepts with a plain OK.
constexpr std::string_view kAccepted[] = {
    "ATE0", "ATE1", "AT#SLED=", "AT+CFUN=", "AT+CSCS=", "AT+CGREG=", "AT+CLIP=", "AT#SKIPESC=", "AT+CNMI=",
    "ATS12=", "AT#CAP=", "AT#SRP=", "AT#STM=", "AT+CRSL=", "AT#HFMICG=", "AT+CLVL=", "AT#PSEL=", "AT#SHFEC=",
    "AT#SHFNR=", "AT#SHFSD=", "AT#SHSSD=", "AT+FCLASS=", "AT#SCFG=",
};

}  // namespace

ModemModule::ModemModule(const Scenario& scenario) : scenario_(scenario.modem), sim_(scenario.modem.sim) {}

bool ModemModule::handles(std::string_view command) const
{
    return startsWith(command, kFrame) || startsWith(command, "WORKGSM=") || command == "TOGLEBUTTON;$"
        || command == "TEST_DYN;" || command == "GPIN;$" || command == "GAPNFULL;$" || command == "GIP;$"
        || command == "GPORT;$" || command == scenario_.smsCommand;
}

bool ModemModule::endsAtSemicolon(std::string_view start) const
{
    if (start == "TEST_DYN;")
        return true;
    // Frames ending "\r;" or "\r\n;" carry no '$'; a ';' inside the command
    // (a voice dial "ATD123;") does not end them.
    if (!startsWith(start, kFrame) || start.size() < 2)
        return false;
    const char before = start[start.size() - 2];
    return before == '\r' || before == '\n';
}

void ModemModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    replyDelayMs_ = 0;
    if (startsWith(command, kFrame)) {
        frame(command, nowMs, out);
    } else if (startsWith(command, "WORKGSM=")) {
        const bool on = startsWith(command, "WORKGSM=1");
        if (!on || !powered_)
            readyAtMs_ = -1;
        powered_ = on;
        if (!on) {
            contextActive_ = connected_ = dataMode_ = inCall_ = false;
            sim_ = scenario_.sim;
            cmee_ = false;
        }
        out += on ? "WORKGSM=1;" : "WORKGSM=0;";
    } else if (command == "TOGLEBUTTON;$") {
        if (powered_) {
            readyAtMs_ = nowMs + scenario_.startMs;
            replyDelayMs_ = scenario_.startMs;
        }
        out += powered_ ? "TOGLEBUTTON=1;" : "TOGLEBUTTON=0;";
    } else if (command == "TEST_DYN;") {
        speakerStream(out);
        replyDelayMs_ = scenario_.answerMs;
    } else if (command == scenario_.smsCommand) {
        out += "GSMSTATUS=";
        appendInt(out, powered_ ? 1 : 0);
        out += ',';
        appendInt(out, registration());
        out += ',';
        appendInt(out, attached() ? 1 : 0);
        out += ',';
        appendInt(out, connected_ ? 1 : 0);
        out += ';';
    } else {
        settingsQuery(command, out);
    }
}

void ModemModule::settingsQuery(std::string_view command, std::string& out) const
{
    const ModemScenario& s = scenario_;
    if (command == "GPIN;$") {
        out += "PIN=";
        out += s.pin.empty() ? std::string("\xFF\xFF\xFF\xFF") : s.pin;
    } else if (command == "GAPNFULL;$") {
        out += "APNFULL=\"" + s.apn + "\",\"" + (s.apnUser.empty() ? "(null)" : s.apnUser) + "\",\""
            + (s.apnPassword.empty() ? "(null)" : s.apnPassword) + "\"";
    } else if (command == "GIP;$") {
        out += "IP=";
        out += s.serverIp.empty() ? "255.255.255.255" : s.serverIp;
    } else {
        out += "PORT=";
        appendInt(out, s.serverPort);
    }
    out += ';';
}

void ModemModule::frame(std::string_view command, int64_t nowMs, std::string& out)
{
    std::string_view rest = command.substr(kFrame.size());
    int64_t timeoutMs = 0;
    if (!takeInt(rest, timeoutMs) || !takeChar(rest, ','))
        return;
    // The ending belongs to the frame, not to the modem's command line.
    for (std::string_view ending : {"\r;$", "\r;", "\r\n;", ";$"}) {
        if (rest.size() >= ending.size() && rest.substr(rest.size() - ending.size()) == ending) {
            rest.remove_suffix(ending.size());
            break;
        }
    }
    // A modem that is off or still starting says nothing.
    if (!powered_ || readyAtMs_ < 0 || nowMs < readyAtMs_)
        return;
    int64_t answerMs = scenario_.answerMs;
    std::string text;
    if (rest == "AT#SPCM=2,0") {
        if (answerMs > timeoutMs)
            return;
        audio(out);
        replyDelayMs_ = answerMs;
        return;
    }
    modemAnswer(rest, answerMs, text);
    if (text.empty() || answerMs > timeoutMs)
        return;
    out += kFrame;
    out += text;
    replyDelayMs_ = answerMs;
}

int ModemModule::registration() const
{
    return powered_ && sim_ == "ready" ? scenario_.registration : 0;
}

bool ModemModule::attached() const
{
    const int reg = registration();
    return (reg == 1 || reg == 5) && scenario_.gprsAttached;
}

std::string ModemModule::simError() const
{
    // 10 no SIM, 11 PIN wanted, 12 PUK wanted.
    const char* code = sim_ == "absent" ? "10" : sim_ == "pin" ? "11" : "12";
    return cmee_ ? std::string("\r\n+CME ERROR: ") + code + "\r\n" : "\r\nERROR\r\n";
}

bool ModemModule::identityAnswer(std::string_view typed, std::string& text) const
{
    // A technician types these in either case; the modem takes both.
    std::string at(typed);
    for (char& c : at)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto answer = [&text](const std::string& line) { text = "\r\n" + line + "\r\n\r\nOK\r\n"; };
    const int reg = registration();
    if (at == "ATI" || at == "ATI0" || at == "AT+CGMI") {
        answer(scenario_.manufacturer);
    } else if (at == "AT+CGMM") {
        answer(scenario_.model);
    } else if (at == "AT+CGMR") {
        answer(scenario_.revision);
    } else if (at == "AT+CGSN") {
        answer(scenario_.imei);
    } else if (at == "AT+CIMI" || at == "AT+CCID") {
        if (sim_ != "ready")
            text = simError();
        else
            answer(at == "AT+CIMI" ? scenario_.imsi : "+CCID: " + scenario_.iccid);
    } else if (at == "AT+CSQ") {
        answer("+CSQ: " + std::to_string(scenario_.rssi) + "," + std::to_string(scenario_.ber));
    } else if (at == "AT+CREG?") {
        answer("+CREG: 0," + std::to_string(reg));
    } else if (at == "AT+COPS?") {
        answer(reg == 1 || reg == 5 ? "+COPS: 0,0,\"" + scenario_.operatorName + "\"" : "+COPS: 0");
    } else {
        return false;
    }
    return true;
}

void ModemModule::pinEntry(std::string_view pin, std::string& text)
{
    if (sim_ == "absent") {
        text = cmee_ ? "\r\n+CME ERROR: 10\r\n" : "\r\nERROR\r\n";
    } else if (sim_ == "puk") {
        text = cmee_ ? "\r\n+CME ERROR: 12\r\n" : "\r\nERROR\r\n";
    } else if (sim_ == "ready") {
        text = cmee_ ? "\r\n+CME ERROR: 3\r\n" : "\r\nERROR\r\n";
    } else if (pin == scenario_.simPin) {
        sim_ = "ready";
        wrongPins_ = 0;
        text = "\r\nOK\r\n\r\n+CPIN: READY\r\n";
    } else {
        if (++wrongPins_ >= kMaxWrongPins)
            sim_ = "puk";
        text = cmee_ ? "\r\n+CME ERROR: 16\r\n" : "\r\nERROR\r\n";
    }
}

void ModemModule::modemAnswer(std::string_view at, int64_t& answerMs, std::string& text)
{
    static const std::string ok = "\r\nOK\r\n";
    if (dataMode_) {
        // Bytes in a data connection go to the server; only the escape leaves it.
        if (at == "+++") {
            dataMode_ = false;
            text = ok;
        }
        return;
    }
    if (at == "AT") {
        text = ok;
    } else if (at == "AT+CMEE=1" || at == "AT+CMEE=0") {
        cmee_ = at.back() == '1';
        text = ok;
    } else if (at == "AT+CPIN?") {
        if (sim_ == "absent")
            text = cmee_ ? "\r\n+CME ERROR: 10\r\n" : "\r\nERROR\r\n";
        else
            text = sim_ == "ready" ? "\r\n+CPIN: READY\r\n\r\nOK\r\n"
                : sim_ == "pin"    ? "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"
                                   : "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n";
    } else if (startsWith(at, "AT+CPIN=")) {
        size_t from = 0;
        pinEntry(quoted(at, from), text);
    } else if (at == "AT+CGREG?") {
        text = "\r\n+CGREG: 0," + std::to_string(registration()) + "\r\n\r\nOK\r\n";
    } else if (at == "AT+CGATT?") {
        text = std::string("\r\n+CGATT: ") + (attached() ? "1" : "0") + "\r\n\r\nOK\r\n";
    } else if (startsWith(at, "AT+CGDCONT=1,")) {
        size_t from = 0;
        quoted(at, from);  // the "IP" type
        contextApn_ = std::string(quoted(at, from));
        text = ok;
    } else if (startsWith(at, "AT#SGACT=1,1")) {
        // The network refuses an access point other than its own.
        const bool apnAccepted = !contextApn_.empty() && (scenario_.apn.empty() || contextApn_ == scenario_.apn);
        contextActive_ = attached() && apnAccepted;
        text = contextActive_ ? "\r\n#SGACT: " + scenario_.contextIp + "\r\n\r\nOK\r\n" : "\r\n+CME ERROR: 555\r\n";
    } else if (startsWith(at, "AT#SD=1,0,")) {
        std::string_view args = at.substr(10);
        int64_t port = -2;
        size_t from = 0;
        const bool parsed = takeInt(args, port);
        const std::string_view ip = quoted(at, from);
        if (!contextActive_) {
            text = "\r\n+CME ERROR: 556\r\n";
        } else {
            answerMs = scenario_.connectMs;
            connected_ = parsed && port == scenario_.serverPort && !scenario_.serverIp.empty()
                && ip == scenario_.serverIp;
            dataMode_ = connected_;
            text = connected_ ? "\r\nCONNECT\r\n" : "\r\nNO CARRIER\r\n";
        }
    } else if (startsWith(at, "AT#SH=")) {
        connected_ = dataMode_ = false;
        text = ok;
    } else if (startsWith(at, "ATD")) {
        std::string_view number = at.substr(3);
        if (!number.empty() && number.back() == ';')
            number.remove_suffix(1);
        if (number.empty()) {
            text = "\r\nERROR\r\n";
        } else if (registration() != 1 && registration() != 5) {
            text = "\r\nNO CARRIER\r\n";
        } else {
            answerMs = scenario_.dialMs;
            inCall_ = scenario_.callResult == "OK";
            text = "\r\n" + scenario_.callResult + "\r\n";
        }
    } else if (at == "ATH") {
        inCall_ = false;
        text = ok;
    } else if (!identityAnswer(at, text)) {
        bool accepted = false;
        for (std::string_view prefix : kAccepted)
            accepted = accepted || startsWith(at, prefix);
        text = accepted ? ok : "\r\nERROR\r\n";
    }
}

void ModemModule::audio(std::string& out) const
{
    // A 1 kHz tone as 8 kHz unsigned 8-bit samples; never a zero byte.
    for (int i = 0; i < scenario_.micBytes; ++i)
        out += static_cast<char>(128 + static_cast<int>(std::lround(100.0 * std::sin(i * 2.0 * M_PI / 8.0))));
}

void ModemModule::speakerStream(std::string& out) const
{
    // Whole pieces of the console's read size, so that the completion reply
    // starts a read of its own.
    for (int block = 0; block < scenario_.speakerBlocks; ++block)
        for (size_t i = 0; i < kSpeakerBlockBytes; ++i)
            out += static_cast<char>('A' + (block + i) % 26);
    out += kSpeakerDone;
}

}  // namespace ktx::sim
