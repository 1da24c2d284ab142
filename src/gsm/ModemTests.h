#pragma once
// The step-by-step modem tests of the GSM tab, its AT console and service
// tests. Each one stops the status poll, paints its shape red, writes its
// title, opens the link, exchanges, closes the link on every path and judges.
// Texts taken from the tab's edits are Windows-1251 bytes, sent as typed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gsm/ModemFrame.h"
#include "link/AppContext.h"
#include "link/LinkSession.h"

namespace ktx::gsm {

// The shapes beside the test buttons; there is no ninth.
inline constexpr int kShapeModes[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11};

class ModemView {
public:
    virtual ~ModemView() = default;
    virtual void stopStatusPoll() = 0;
    // passed: green and cross-hatched; otherwise red and solid.
    virtual void paintShape(int mode, bool passed) = 0;
};

// Sends one AT command in a 200 ms frame and reads at once after 220 ms;
// true when the modem said "OK" (or the command was "AT#CAP=1", accepted
// whatever comes back). A failure leaves ">command" and "<reply" lines.
bool SendModemCommand(AppContext& context, std::string_view atCommand);

// "+CSQ: <rssi>,<ber>" of AT+CSQ (rssi 0..31, 99 not known). Unset when the
// channel did not open or the modem answered anything else (ERROR from a
// modem that does not report it, or nothing); both lines go to the modem
// console.
struct SignalQuality {
    int rssi = 99;
    int ber = 99;
};
std::optional<SignalQuality> readSignalQuality(AppContext& context);

// The AT console's timeout text: a whole number, or 1000 for anything else.
// tooLong when the wait it asks for would hold the window over ten minutes.
struct ConsoleTimeout {
    bool tooLong = false;
    int64_t ms = 1000;
};
ConsoleTimeout parseConsoleTimeout(std::string_view text);
inline constexpr int64_t kLongestConsoleWaitMs = 10 * 60 * 1000;

// The DNS answer parse test on a given sample; the lines it writes.
void parseDnsAnswer(LogSink& log, std::string_view sample);
// The built-in sample: the secondary host name and the data server's address.
std::string_view builtInDnsSample();

class ModemTests {
public:
    // workDir: where the microphone and speaker tests leave their files.
    ModemTests(AppContext& context, ModemView& view, std::string workDir = ".");

    void setWorkDir(std::string workDir) { workDir_ = std::move(workDir); }

    void powerOff();
    void powerOn(int simIndex);
    void pinStatus();
    void pinEntry(std::string_view pin);
    void settings();
    void registration();
    void gprsAvailability();
    void gprsConnect(std::string_view apn, std::string_view user, std::string_view password);
    void serverConnect(std::string_view ip, std::string_view port);
    void disconnect();
    void call(std::string_view number);
    void sms(std::string_view text);
    void atConsole(std::string_view command, std::string_view timeoutText);
    void dnsParse();
    void microphone();
    void speaker();

private:
    // Stops the poll, paints mode red (0: none), writes the separator and the
    // title (empty: none).
    void begin(int mode, const std::string& title);
    // False, with the console's line, when the session could not open.
    bool opened(const LinkSession& session);
    void line(const std::string& text);
    void say(const char* utf8Text);
    // Sends the frame, sleeps its wait, reads once into a zeroed buffer of
    // bufferBytes; returns the reply as a string.
    std::string exchange(LinkSession& session, const TimedFrame& frame, uint32_t bufferBytes = 128);
    // Waits, sends "+++", waits again and reads without judging.
    void endConnection(LinkSession& session, int64_t timeoutMs, uint32_t bufferBytes);
    std::string filePath(const char* name) const;

    AppContext& context_;
    ModemView& view_;
    std::string workDir_;
};

}  // namespace ktx::gsm
