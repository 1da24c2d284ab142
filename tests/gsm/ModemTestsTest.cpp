// The modem step tests against scripted device replies: frames as sent, the
// waits, reply tables in their order, messages, shapes, files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

#include "support/FifoRelease.h"
#include "support/FileBytes.h"
#include "gsm/GsmBench.h"
#include "gsm/ModemFrame.h"
#include "gsm/ModemJudge.h"

namespace ktx::gsm {
namespace {

using test::GsmBench;
using test::Paint;

TEST(ModemFrameTest, WaitsAndEndings)
{
    const std::pair<int64_t, int64_t> waits[] = {{100, 110},     {200, 220},     {500, 550},   {1000, 1100},
                                                 {2000, 2200},   {3000, 3300},   {4000, 4400}, {5000, 5500},
                                                 {10000, 11000}, {40000, 44000}, {0, 0},       {-5, 0},
                                                 {7, 7},         {19, 20}};
    for (const auto& [timeout, wait] : waits)
        EXPECT_EQ(ModemWait(timeout), wait) << timeout;
    EXPECT_GT(ModemWait(INT64_MAX), 0);  // no overflow into a negative wait

    EXPECT_EQ(ModemFrame(100, "AT", FrameEnding::CrDollar), "GSMCOMMAND=100,AT\r;$");
    EXPECT_EQ(ModemFrame(500, "AT+FCLASS=8", FrameEnding::CrSemicolon), "GSMCOMMAND=500,AT+FCLASS=8\r;");
    EXPECT_EQ(ModemFrame(-3, "at+csq", FrameEnding::CrLfSemicolon), "GSMCOMMAND=-3,at+csq\r\n;");
    EXPECT_EQ(EscapeFrame(2000), "GSMCOMMAND=2000,+++;$");
    EXPECT_EQ(modemText("GSMCOMMAND=+CME ERROR: 10"), "+CME ERROR: 10");
    EXPECT_EQ(modemText("GSMCOMMAND="), "");
}

// A frame's wait comes from the timeout written into it, in one value.
TEST(ModemFrameTest, TimedFrameCarriesItsOwnWait)
{
    const TimedFrame settings = timedFrame(200, "ATE0");
    EXPECT_EQ(settings.text, "GSMCOMMAND=200,ATE0\r;$");
    EXPECT_EQ(settings.waitMs, 220);
    const TimedFrame console = timedFrame(-3, "at", FrameEnding::CrLfSemicolon);
    EXPECT_EQ(console.text, "GSMCOMMAND=-3,at\r\n;");
    EXPECT_EQ(console.waitMs, 0);
    const TimedFrame escape = timedEscape(3000);
    EXPECT_EQ(escape.text, "GSMCOMMAND=3000,+++;$");
    EXPECT_EQ(escape.waitMs, 3300);
}

TEST(ModemJudgeTest, FirstMatchingWordWinsAndTheRestFollowsTheWord)
{
    const ReplyTable table{{{"<b>", "second %s", false}, {"<a>", "first", true}}, "unknown %s", nullptr};
    EXPECT_EQ(judgeReply(table, "GSMCOMMAND=<a> <b>!").line, "second !");  // table order, not reply order
    EXPECT_FALSE(judgeReply(table, "GSMCOMMAND=<a> <b>!").success);
    EXPECT_TRUE(judgeReply(table, "x<a>").success);
    EXPECT_EQ(judgeReply(table, "GSMCOMMAND=%s%n").line, "unknown %s%n");  // modem text is never a format
    EXPECT_EQ(utf8FromCp1251(judgeReply(table, "GSMCOM").line), "Нет ответа от прибора");
}

// One run of one procedure against one reply to its judged frame.
struct JudgedCase {
    const char* name;
    std::function<void(ModemTests&)> run;
    std::string judgedFrame;
    std::string reply;
    std::string line;  // the verdict, UTF-8
    int mode;
    bool green;
};

TEST(ModemProceduresTest, RepliesAreJudgedInTableOrder)
{
    const auto registration = [](ModemTests& t) { t.registration(); };
    const auto gprs = [](ModemTests& t) { t.gprsAvailability(); };
    const auto pinStatus = [](ModemTests& t) { t.pinStatus(); };
    const auto disconnect = [](ModemTests& t) { t.disconnect(); };
    const auto call = [](ModemTests& t) { t.call("+70001112233"); };
    const std::string reg = "GSMCOMMAND=100,AT+CGREG?\r;$";
    const std::string cpin = "GSMCOMMAND=1000,AT+CPIN?\r;$";
    const std::string dial = "GSMCOMMAND=10000,ATD+70001112233\r;";
    const JudgedCase cases[] = {
        {"home", registration, reg, "GSMCOMMAND=\r\n+CGREG: 0,1\r\n\r\nOK\r\n", "Прибор зарегистрирован в сети", 5, true},
        {"roaming", registration, reg, "GSMCOMMAND=+CGREG: 0,5", "Прибор зарегистрирован в сети и находится в роуминге.", 5, true},
        {"searching", registration, reg, "GSMCOMMAND=+CGREG: 0,2", "Модем не подключен к сети и находится в режиме поиска.", 5, false},
        {"denied", registration, reg, "GSMCOMMAND=+CGREG: 0,3", "Прибор не зарегистрирован в сети.", 5, false},
        {"home before searching", registration, reg, "GSMCOMMAND=+CGREG: 0,2 +CGREG: 0,1", "Прибор зарегистрирован в сети", 5, true},
        {"unknown", registration, reg, "GSMCOMMAND=ERROR", "Неизвестный ответ: ERROR", 5, false},
        {"silent", registration, reg, "", "Нет ответа от прибора", 5, false},
        {"attached", gprs, "GSMCOMMAND=100,AT+CGATT?\r;$", "GSMCOMMAND=+CGATT: 1", "Базовая станция поддерживает GPRS", 6, true},
        {"detached", gprs, "GSMCOMMAND=100,AT+CGATT?\r;$", "GSMCOMMAND=+CGATT: 0", "Базовая станция не поддерживает GPRS", 6, false},
        {"ready", pinStatus, cpin, "GSMCOMMAND=+CPIN: READY", "PIN код введен или отключен", 2, true},
        {"no SIM before PIN", pinStatus, cpin, "GSMCOMMAND=+CME ERROR: 10 SIM PIN", "Необходимо вставить SIM-карту. Проверьте контакт.", 2, false},
        {"PIN", pinStatus, cpin, "GSMCOMMAND=+CPIN: SIM PIN", "Ожидается ввод PIN-кода.", 2, false},
        {"PUK", pinStatus, cpin, "GSMCOMMAND=+CPIN: SIM PUK", "SIM-карта заблокирована. Вставьте карту в телефон и введите PUK.", 2, false},
        {"PIN other", pinStatus, cpin, "GSMCOMMAND=ERROR", "Ошибка PIN: GSMCOMMAND=ERROR", 2, false},
        {"PIN empty", pinStatus, cpin, "", "Ошибка PIN: ", 2, false},
        {"closed", disconnect, "GSMCOMMAND=3000,AT#SH=1\r;$", "GSMCOMMAND=OK", "Соединение закрыто", 8, false},
        {"close error", disconnect, "GSMCOMMAND=3000,AT#SH=1\r;$", "GSMCOMMAND=ERROR", "Ошибка закрытия соединения: ERROR", 8, false},
        {"call", call, dial, "GSMCOMMAND=OK", "Звонок прошел", 10, true},
        {"busy", call, dial, "GSMCOMMAND=BUSY", "Ошибка набора номера: BUSY", 10, false},
    };
    for (const JudgedCase& c : cases) {
        SCOPED_TRACE(c.name);
        GsmBench bench;
        bench.answer(c.judgedFrame, c.reply);
        c.run(bench.tests);
        EXPECT_EQ(bench.lastLine(), c.line);
        EXPECT_EQ(bench.view.shape(c.mode), c.green ? Paint::Green : Paint::Red);
        EXPECT_EQ(bench.view.pollStops, 1);
        EXPECT_EQ(bench.lines().at(0), "---------------------");
        EXPECT_EQ(bench.driver.countCalls("FT_Close"), 1);
        EXPECT_EQ(bench.driver.writes().back(), c.judgedFrame);
    }
}

TEST(ModemProceduresTest, WaitsOneAndATenthOfTheFrameTimeBeforeReading)
{
    GsmBench bench;
    bench.tests.call("5");
    // FCLASS 550 ms and ATD 11 000 ms of sleep; the reads wait out the 100 ms timeout.
    EXPECT_EQ(bench.driver.writes(), (std::vector<std::string>{"GSMCOMMAND=500,AT+FCLASS=8\r;", "GSMCOMMAND=10000,ATD5\r;"}));
    EXPECT_EQ(bench.time.sleptMs(), 550u + 100u + 11000u + 100u);
    EXPECT_EQ(bench.lines().at(1), "Звонок на номер 5");
}

TEST(ModemProceduresTest, PinStatusPreparesTheModemAndPaintsBothShapes)
{
    GsmBench bench;
    bench.answer("GSMCOMMAND=1000,AT+CPIN?\r;$", "GSMCOMMAND=READY");
    bench.tests.pinStatus();
    EXPECT_EQ(bench.driver.writes(), (std::vector<std::string>{"GSMCOMMAND=100,AT+CMEE=1\r;$",
                                         "GSMCOMMAND=100,AT#SLED=2,10,10\r;$", "GSMCOMMAND=1000,AT+CPIN?\r;$"}));
    EXPECT_EQ(bench.view.shape(2), Paint::Green);
    EXPECT_EQ(bench.view.shape(3), Paint::Green);
    EXPECT_EQ(bench.lines().at(1), "Проверка статуса PIN");
}

TEST(ModemProceduresTest, PinEntryReportsAndThenRunsTheStatusTest)
{
    GsmBench bench;
    bench.answer("GSMCOMMAND=4000,AT+CPIN=\"0000\"\r;$", "GSMCOMMAND=+CME ERROR: 16");
    bench.answer("GSMCOMMAND=1000,AT+CPIN?\r;$", "GSMCOMMAND=+CPIN: SIM PIN");
    bench.tests.pinEntry("0000");
    const std::vector<std::string> expected = {"---------------------", "Ввод PIN", "Неверный PIN-код!",
                                               "---------------------", "Проверка статуса PIN", "Ожидается ввод PIN-кода."};
    EXPECT_EQ(bench.lines(), expected);
    EXPECT_EQ(bench.view.shape(3), Paint::Red);

    // The modem's own text alone, and no status run when the link can't be opened.
    GsmBench other;
    other.answer("GSMCOMMAND=4000,AT+CPIN=\"1\"\r;$", "GSMCOMMAND=+CME ERROR: 3");
    other.answer("GSMCOMMAND=1000,AT+CPIN?\r;$", "GSMCOMMAND=+CPIN: READY");
    other.tests.pinEntry("1");
    EXPECT_EQ(other.lines().at(2), "+CME ERROR: 3");
    EXPECT_EQ(other.view.shape(3), Paint::Green);  // the status test found it ready

    GsmBench unplugged;
    unplugged.driver.failCall("FT_Open");
    unplugged.tests.pinEntry("1");
    EXPECT_EQ(unplugged.lines(), (std::vector<std::string>{"---------------------", "Ввод PIN", "Ошибка открытия порта USB"}));
    EXPECT_EQ(unplugged.view.shape(3), Paint::Red);
}

TEST(ModemProceduresTest, SettingsCountOnlyTheCountedCommands)
{
    GsmBench bench;
    const char* const counted[] = {"ATE0", "AT+CFUN=1", "AT+CSCS=\"GSM\"", "AT+CGREG=0", "AT+CLIP=1",
                                   "AT#SKIPESC=1", "AT+CNMI=1,1", "ATS12=20", "AT#SRP=0", "AT#STM=1",
                                   "AT+CRSL=4", "AT#HFMICG=3", "AT+CLVL=3", "AT#PSEL=3", "AT#SHFEC=1",
                                   "AT#SHFNR=1", "AT#SHFSD=1", "AT#SHSSD=1"};
    for (const char* command : counted)
        bench.answer(std::string("GSMCOMMAND=200,") + command + "\r;$", "GSMCOMMAND=OK");
    bench.answer("GSMCOMMAND=200,AT+CMEE=1\r;$", "GSMCOMMAND=ERROR");
    bench.tests.settings();  // SLED and CAP get no answer at all
    EXPECT_EQ(bench.driver.writes().size(), 21u);
    EXPECT_EQ(bench.lastLine(), "Ввод настроек завершен");
    EXPECT_EQ(bench.view.shape(4), Paint::Green);
    const std::vector<std::string> lines = bench.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ">AT#SLED=2,10,10"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "<GSMCOMMAND=ERROR"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ">AT#CAP=1"), 0);  // accepted whatever comes back

    // One counted failure spoils the result, and every command is still sent.
    GsmBench failing;
    for (const char* command : counted)
        if (std::string(command) != "ATS12=20")
            failing.answer(std::string("GSMCOMMAND=200,") + command + "\r;$", "GSMCOMMAND=OK");
    failing.tests.settings();
    EXPECT_EQ(failing.driver.writes().size(), 21u);
    EXPECT_EQ(failing.lastLine(), "Ошибка ввода настроек");
    EXPECT_EQ(failing.view.shape(4), Paint::Red);
}

TEST(ModemProceduresTest, GprsConnectionStopsAtTheFirstFailedStep)
{
    const std::string apn = "GSMCOMMAND=1000,AT+CGDCONT=1,\"IP\",\"inet\",\"0.0.0.0\",0,0\r;$";
    const std::string scfg = "GSMCOMMAND=1000,AT#SCFG=1,1,1500,0,300,30\r;$";
    const std::string sgact = "GSMCOMMAND=5000,AT#SGACT=1,1,\"u\",\"p\"\r;$";
    GsmBench bench;
    bench.answer(apn, "GSMCOMMAND=OK");
    bench.answer(scfg, "GSMCOMMAND=OK");
    bench.answer(sgact, "GSMCOMMAND=#SGACT: 10.1.2.3\r\nOK");
    bench.tests.gprsConnect("inet", "u", "p");
    EXPECT_EQ(bench.lines(), (std::vector<std::string>{"---------------------", "Подключение GPRS", "Настройки введены",
                                 "GPRS Подключен, IP адрес устройства : 10.1.2.3\r\nOK"}));
    EXPECT_EQ(bench.view.shape(7), Paint::Green);

    GsmBench failing;
    failing.answer(apn, "GSMCOMMAND=ERROR");
    failing.tests.gprsConnect("inet", "u", "p");
    EXPECT_EQ(failing.driver.writes(), std::vector<std::string>{apn});
    EXPECT_EQ(failing.lastLine(), "Ошибка ввода точки доступа: ERROR");
    EXPECT_EQ(failing.view.shape(7), Paint::Red);

    GsmBench silent;
    silent.answer(apn, "GSMCOMMAND=OK");
    silent.tests.gprsConnect("inet", "u", "p");
    EXPECT_EQ(silent.driver.writes().size(), 2u);
    EXPECT_EQ(silent.lastLine(), "Нет ответа от прибора");
}

TEST(ModemProceduresTest, ServerConnectionLeavesDataModeBeforeReporting)
{
    GsmBench bench;
    bench.answer("GSMCOMMAND=40000,AT#SD=1,0,5050,\"192.0.2.47\"\r;$", "GSMCOMMAND=CONNECT");
    bench.tests.serverConnect("192.0.2.47", "5050");
    EXPECT_EQ(bench.driver.writes().back(), "GSMCOMMAND=2000,+++;$");
    EXPECT_EQ(bench.time.sleptMs(), 44000u + 100u + 2200u + 2200u + 100u);
    EXPECT_EQ(bench.lines(), (std::vector<std::string>{"---------------------", "Подключение к серверу 192.0.2.47 порт 5050",
                                 "GSMCOMMAND=CONNECT", "Установлено успешное соединение с сервером"}));
    EXPECT_EQ(bench.view.shape(8), Paint::Green);

    GsmBench refused;
    refused.answer("GSMCOMMAND=40000,AT#SD=1,0,1,\"h\"\r;$", "GSMCOMMAND=NO CARRIER");
    refused.tests.serverConnect("h", "1");
    EXPECT_EQ(refused.driver.writes().size(), 1u);
    EXPECT_EQ(refused.lastLine(), "Ошибка подключения: NO CARRIER");
}

TEST(ModemProceduresTest, PowerOnStepsAndPowerOff)
{
    GsmBench bench;
    bench.answer("WORKGSM=1,1;$", "WORKGSM=1;");
    bench.answer("TOGLEBUTTON;$", "TOGLEBUTTON=1;");
    bench.answer("GSMCOMMAND=100,AT\r;$", "GSMCOMMAND=OK");
    bench.tests.powerOn(1);
    EXPECT_EQ(bench.driver.writes(), (std::vector<std::string>{"WORKGSM=1,1;$", "TOGLEBUTTON;$", "GSMCOMMAND=100,AT\r;$"}));
    EXPECT_EQ(bench.time.sleptMs(), 100u + 13000u + 100u + 110u + 100u);
    EXPECT_EQ(bench.lastLine(), "GSM модем включен и корректно отвечает");
    EXPECT_EQ(bench.view.shape(1), Paint::Green);

    GsmBench garbled;
    garbled.answer("WORKGSM=1,0;$", "WORKGSM=x");
    garbled.tests.powerOn(0);
    EXPECT_EQ(garbled.driver.writes(), std::vector<std::string>{"WORKGSM=1,0;$"});
    EXPECT_EQ(garbled.lastLine(), "Ошибка запуска модуля GSM: WORKGSM=x");

    GsmBench off;
    off.answer("WORKGSM=0;$", "WORKGSM=0;");
    off.tests.powerOff();
    for (int mode : kShapeModes)
        EXPECT_EQ(off.view.shape(mode), Paint::Red) << mode;
    EXPECT_EQ(off.lines(), (std::vector<std::string>{"---------------------", "Отключение модуля GSM", "Питание отключено: WORKGSM=0;"}));
    EXPECT_EQ(off.time.sleptMs(), 100u + 100u + 3000u);
}

TEST(ModemProceduresTest, SmsSendsTheTextUnchanged)
{
    GsmBench bench;
    bench.answer("STATUS#", "GSMSTATUS=1;");
    bench.tests.sms("STATUS#");
    EXPECT_EQ(bench.driver.writes(), std::vector<std::string>{"STATUS#"});
    EXPECT_EQ(bench.lines(), (std::vector<std::string>{"---------------------", "Отправка SMS команды", ">STATUS#", "<GSMSTATUS=1;"}));
    EXPECT_EQ(bench.view.shape(11), Paint::Green);

    GsmBench silent;
    silent.tests.sms("X");
    EXPECT_EQ(silent.lastLine(), "Нет ответа от прибора");
    EXPECT_EQ(silent.view.shape(11), Paint::Red);
}

TEST(ModemConsoleTest, SendsTheTextAsTypedWithTheTimeoutRule)
{
    struct Case {
        const char* timeout;
        std::string frame;
        uint64_t sleptMs;
    };
    const Case cases[] = {
        {"1000", "GSMCOMMAND=1000,at+csq\r\n;", 1100},
        {"abc", "GSMCOMMAND=1000,at+csq\r\n;", 1100},
        {"", "GSMCOMMAND=1000,at+csq\r\n;", 1100},
        {"12x", "GSMCOMMAND=1000,at+csq\r\n;", 1100},
        {"-5", "GSMCOMMAND=-5,at+csq\r\n;", 0},
        {"545455", "GSMCOMMAND=545455,at+csq\r\n;", 600000},  // exactly ten minutes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeout);
        GsmBench bench;
        bench.answer(c.frame, "GSMCOMMAND=+CSQ: 17,0");
        bench.tests.atConsole("at+csq", c.timeout);
        EXPECT_EQ(bench.driver.writes(), std::vector<std::string>{c.frame});
        EXPECT_EQ(bench.time.sleptMs(), c.sleptMs + 100);
        EXPECT_EQ(bench.lines(), (std::vector<std::string>{"---------------------", "AT команда", "> " + c.frame,
                                     "< GSMCOMMAND=+CSQ: 17,0"}));
        EXPECT_TRUE(bench.view.shapes.empty());
    }

    for (const char* tooLong : {"545456", "99999999999999999999"}) {
        GsmBench bench;
        bench.tests.atConsole("AT", tooLong);
        EXPECT_EQ(bench.driver.countCalls("FT_Open"), 0);
        EXPECT_EQ(bench.time.sleptMs(), 0u);
        EXPECT_EQ(bench.lastLine().rfind("Слишком большой таймаут: ", 0), 0u) << bench.lastLine();
    }

    GsmBench empty;
    empty.tests.atConsole("", "1000");
    EXPECT_EQ(empty.lines(), std::vector<std::string>{"Сначала введите AT команду"});
    EXPECT_EQ(empty.driver.countCalls("FT_Open"), 0);
    EXPECT_EQ(empty.view.pollStops, 1);
}

TEST(ModemConsoleTest, SendModemCommandAcceptsCapWhateverComesBack)
{
    GsmBench bench;
    EXPECT_TRUE(SendModemCommand(bench.context, "AT#CAP=1"));
    EXPECT_FALSE(SendModemCommand(bench.context, "ATE0"));
    EXPECT_EQ(bench.lines(), (std::vector<std::string>{">ATE0", "<"}));
    EXPECT_EQ(bench.driver.writes().front(), "GSMCOMMAND=200,AT#CAP=1\r;$");
}

TEST(DnsParseTest, BuiltInSampleNamesTheSecondaryHost)
{
    GsmBench bench;
    bench.tests.dnsParse();
    ASSERT_EQ(bench.lines().size(), 2u);
    EXPECT_EQ(bench.lines()[0], builtInDnsSample());
    EXPECT_EQ(bench.lines()[1], "Viva! res 192.0.2.47");
    EXPECT_EQ(bench.driver.countCalls("FT_Open"), 0);

    GsmBench primary;
    parseDnsAnswer(primary.log, "#QDNS: \"gate.korvantix.example\",\"10.0.0.1\"");
    EXPECT_EQ(primary.lines(), (std::vector<std::string>{"#QDNS: \"gate.korvantix.example\",\"10.0.0.1\"",
                                   "gate.korvantix.example\",\"10.0.0.1\"", "\"10.0.0.1\"", "Viva! 10.0.0.1"}));
    GsmBench bad;
    parseDnsAnswer(bad.log, "#QDNS: \"gate2.korvantix.example\",\"10.0\"");
    parseDnsAnswer(bad.log, "QDNS gate.korvantix.example");
    EXPECT_EQ(bad.lines().size(), 2u);
}

TEST(AudioTestsTest, MicrophoneKeepsOnlyTheLastRunsBytes)
{
    QTemporaryDir dir;
    GsmBench bench;
    bench.tests.setWorkDir(dir.path().toStdString());
    const std::string audio = std::string("\x80\x90\0\xA0", 4) + "tail";
    bench.answer("GSMCOMMAND=5000,AT#SPCM=2,0\r;", audio);
    bench.tests.microphone();
    EXPECT_EQ(ktx::test::readBytes(dir.filePath("mictest.txt").toStdString()), audio);
    EXPECT_EQ(bench.lines().at(1), "GSMCOMMAND=5000,AT#SPCM=2,0\r;");  // no title
    EXPECT_EQ(bench.lines().at(2), "8");
    EXPECT_EQ(bench.driver.writes().back(), "GSMCOMMAND=3000,+++;$");
    EXPECT_EQ(bench.view.shape(10), Paint::Red);

    bench.answer("GSMCOMMAND=5000,AT#SPCM=2,0\r;", "ab");
    bench.tests.microphone();
    EXPECT_EQ(ktx::test::readBytes(dir.filePath("mictest.txt").toStdString()), "ab");

    // A link in the file's place is not followed out of the directory.
    QTemporaryDir outside;
    QFile::remove(dir.filePath("mictest.txt"));
    ASSERT_TRUE(QFile::link(outside.filePath("target"), dir.filePath("mictest.txt")));
    bench.tests.microphone();
    EXPECT_FALSE(QFile::exists(outside.filePath("target")));
    EXPECT_EQ(bench.lines().back(), "ab");  // the console lines all the same
}

// A FIFO in the place of either audio file: the test neither waits on it
// (the update link open, the modem busy) nor writes into it, and says so.
TEST(AudioTestsTest, FifoInPlaceOfAnAudioFileDoesNotHoldTheTestUp)
{
    struct Case {
        const char* file;
        void (ModemTests::*run)();
        const char* command;
        std::vector<std::string> replies;
    };
    const Case cases[] = {
        {"mictest.txt", &ModemTests::microphone, "GSMCOMMAND=5000,AT#SPCM=2,0\r;", {"audio"}},
        {"stream.txt", &ModemTests::speaker, "TEST_DYN;", {"one", "TEST_DYN:TEST COMLETE;"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        GsmBench bench;
        bench.tests.setWorkDir(dir.path().toStdString());
        bench.driver.onCommand(c.command, c.replies);
        const std::string fifo = dir.filePath(QString::fromLatin1(c.file)).toStdString();
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
        EXPECT_TRUE(ktx::test::finishesWithoutBlockingOn(fifo, [&] { (bench.tests.*c.run)(); }));
        EXPECT_EQ(bench.driver.countCalls("FT_Close"), bench.driver.countCalls("FT_Open"));
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
        ASSERT_EQ(bench.log.debug.size(), 1u);
        EXPECT_NE(bench.log.debug[0].find(fifo), std::string::npos) << bench.log.debug[0];
    }
}

TEST(AudioTestsTest, SpeakerAppendsEveryPieceButTheCompletion)
{
    QTemporaryDir dir;
    GsmBench bench;
    bench.tests.setWorkDir(dir.path().toStdString());
    bench.driver.onCommand("TEST_DYN;", {"one", "", "two", "TEST_DYN:TEST COMLETE;"});
    bench.tests.speaker();
    bench.tests.speaker();
    EXPECT_EQ(ktx::test::readBytes(dir.filePath("stream.txt").toStdString()), "onetwoonetwo");
    EXPECT_EQ(bench.lastLine(), "TEST_DYN:TEST COMLETE;");

    // Completion first: nothing is written.
    QTemporaryDir other;
    GsmBench quick;
    quick.tests.setWorkDir(other.path().toStdString());
    quick.answer("TEST_DYN;", "TEST_DYN:TEST COMLETE;");
    quick.tests.speaker();
    EXPECT_FALSE(QFile::exists(other.filePath("stream.txt")));

    // A device that never completes: the test ends after 20 s.
    GsmBench endless;
    endless.tests.setWorkDir(other.path().toStdString());
    endless.tests.speaker();
    EXPECT_GE(endless.time.monotonicMs(), 19000);
    EXPECT_LE(endless.time.monotonicMs(), 20200);
    EXPECT_EQ(endless.lines().back(), "");
}

}  // namespace
}  // namespace ktx::gsm
