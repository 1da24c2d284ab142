// The simulated modem behind the procedures: scenario states walked by the
// real tests over the simulated USB channel, in virtual time.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "gsm/DeviceSettings.h"
#include "gsm/GsmBench.h"
#include "gsm/sim/ModemModule.h"
#include "sim/SimDriver.h"
#include "support/FileBytes.h"

namespace ktx::gsm {
namespace {

using test::Paint;

struct SimBench {
    explicit SimBench(const sim::Scenario& scenario) : driver(time, scenario) {}

    std::string lastLine() const { return log.modem.empty() ? std::string() : utf8FromCp1251(log.modem.back()); }
    sim::ModemModule& modem() { return *driver.device().module<sim::ModemModule>(); }

    VirtualTimeSource time;
    sim::SimDriver driver;
    UsbLink link{driver, time};
    ktx::test::RecordingSink log;
    DeviceInfo device{"1234567", 57};
    AppContext context{link, time, log, device};
    test::RecordingView view;
    ModemTests tests{context, view};
};

struct StateCase {
    const char* name;
    std::function<void(sim::ModemScenario&)> change;
    std::function<void(ModemTests&)> run;
    const char* line;  // found in the last console line
    int mode;
    bool green;
};

TEST(ModemSimTest, ScenarioStatesReachTheTestsVerdicts)
{
    const auto pinStatus = [](ModemTests& t) { t.pinStatus(); };
    const auto registration = [](ModemTests& t) { t.registration(); };
    const auto gprs = [](ModemTests& t) {
        t.gprsConnect("internet.korvantix.example", "gprs", "gprs");
    };
    const auto server = [](ModemTests& t) {
        t.gprsConnect("internet.korvantix.example", "gprs", "gprs");
        t.serverConnect("192.0.2.47", "5050");
    };
    const StateCase cases[] = {
        {"no SIM", [](auto& m) { m.sim = "absent"; }, pinStatus, "Необходимо вставить SIM-карту", 2, false},
        {"PIN wanted", [](auto& m) { m.sim = "pin"; }, pinStatus, "Ожидается ввод PIN-кода.", 2, false},
        {"PUK wanted", [](auto& m) { m.sim = "puk"; }, pinStatus, "SIM-карта заблокирована.", 2, false},
        {"right PIN", [](auto& m) { m.sim = "pin"; }, [](ModemTests& t) { t.pinEntry("1234"); },
         "PIN код введен или отключен", 3, true},
        {"wrong PIN", [](auto& m) { m.sim = "pin"; },
         [](ModemTests& t) { t.pinEntry("9999"); t.pinStatus(); }, "Ожидается ввод PIN-кода.", 3, false},
        {"three wrong PINs", [](auto& m) { m.sim = "pin"; },
         [](ModemTests& t) { for (int i = 0; i < 3; ++i) t.pinEntry("9999"); }, "SIM-карта заблокирована.", 3, false},
        {"idle", [](auto& m) { m.registration = 0; }, registration, "НЕ находится в режиме поиска.", 5, false},
        {"searching", [](auto& m) { m.registration = 2; }, registration, "находится в режиме поиска.", 5, false},
        {"denied", [](auto& m) { m.registration = 3; }, registration, "Прибор не зарегистрирован в сети.", 5, false},
        {"unknown", [](auto& m) { m.registration = 4; }, registration, "Неизвестная ошибка регистрации.", 5, false},
        {"roaming", [](auto& m) { m.registration = 5; }, registration, "находится в роуминге.", 5, true},
        {"no SIM, no network", [](auto& m) { m.sim = "absent"; }, registration, "НЕ находится в режиме поиска.", 5, false},
        {"slow modem", [](auto& m) { m.answerMs = 150; }, registration, "Нет ответа от прибора", 5, false},
        {"detached", [](auto& m) { m.gprsAttached = false; }, [](ModemTests& t) { t.gprsAvailability(); },
         "Базовая станция не поддерживает GPRS", 6, false},
        {"foreign access point", [](auto& m) { m.apn = "other"; }, gprs, "Ошибка ввода настроек: ", 7, false},
        {"access point", [](auto&) {}, gprs, "GPRS Подключен, IP адрес устройства : 10.64.12.7", 7, true},
        {"other server", [](auto& m) { m.serverPort = 6000; }, server, "Ошибка подключения: ", 8, false},
        {"server too slow", [](auto& m) { m.connectMs = 41000; }, server, "Нет ответа от прибора", 8, false},
        {"no context", [](auto&) {}, [](ModemTests& t) { t.serverConnect("192.0.2.47", "5050"); },
         "Ошибка подключения: ", 8, false},
        {"busy", [](auto& m) { m.callResult = "BUSY"; }, [](ModemTests& t) { t.call("112"); },
         "Ошибка набора номера: ", 10, false},
        {"voice dial", [](auto&) {}, [](ModemTests& t) { t.call("112;"); }, "Звонок прошел", 10, true},
        {"no number", [](auto&) {}, [](ModemTests& t) { t.call(""); }, "Ошибка набора номера: ", 10, false},
        {"other SMS text", [](auto&) {}, [](ModemTests& t) { t.sms("HELLO;$"); }, "Нет ответа от прибора", 11, false},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario scenario = sim::defaultScenario();
        c.change(scenario.modem);
        SimBench bench(scenario);
        bench.tests.powerOn(0);
        ASSERT_TRUE(bench.modem().powered());
        c.run(bench.tests);
        EXPECT_NE(bench.lastLine().find(c.line), std::string::npos) << bench.lastLine();
        EXPECT_EQ(bench.view.shape(c.mode), c.green ? Paint::Green : Paint::Red);
        EXPECT_FALSE(bench.driver.isOpen());
    }
}

TEST(ModemSimTest, ModemAnswersOnlyOnceStartedAndDataModeEndsWithTheEscape)
{
    SimBench bench(sim::defaultScenario());
    bench.tests.registration();
    EXPECT_EQ(bench.lastLine(), "Нет ответа от прибора");  // switched off

    bench.tests.powerOn(0);
    bench.tests.gprsConnect("internet.korvantix.example", "gprs", "gprs");
    bench.tests.serverConnect("192.0.2.47", "5050");
    EXPECT_TRUE(bench.modem().connected());
    EXPECT_FALSE(bench.modem().inDataMode());  // the test escaped
    bench.tests.disconnect();
    EXPECT_FALSE(bench.modem().connected());
    EXPECT_EQ(bench.lastLine(), "Соединение закрыто");

    bench.tests.powerOff();
    EXPECT_FALSE(bench.modem().powered());
    EXPECT_EQ(bench.lastLine(), "Питание отключено: WORKGSM=0;");
    bench.tests.registration();
    EXPECT_EQ(bench.lastLine(), "Нет ответа от прибора");

    // A start-up longer than the console waits: its reply comes too late.
    sim::Scenario slow = sim::defaultScenario();
    slow.modem.startMs = 20000;
    SimBench late(slow);
    late.tests.powerOn(0);
    EXPECT_EQ(late.lastLine(), "Ошибка инициализации: ");
    late.tests.registration();
    EXPECT_EQ(late.lastLine(), "Нет ответа от прибора");
}

TEST(ModemSimTest, AudioTestsStoreWhatTheDeviceSends)
{
    QTemporaryDir dir;
    SimBench bench(sim::defaultScenario());
    bench.tests.setWorkDir(dir.path().toStdString());
    bench.tests.powerOn(0);
    bench.tests.microphone();
    EXPECT_EQ(ktx::test::readBytes(dir.filePath("mictest.txt").toStdString()).size(), 800u);
    bench.tests.speaker();
    const std::string stream = ktx::test::readBytes(dir.filePath("stream.txt").toStdString());
    EXPECT_EQ(stream.size(), 3u * 1023u);
    EXPECT_EQ(stream.find("TEST_DYN"), std::string::npos);
    EXPECT_EQ(bench.lastLine(), "TEST_DYN:TEST COMLETE;");
    EXPECT_LT(bench.time.monotonicMs(), 40000);  // the completion ended the speaker test early
}

TEST(ModemSimTest, StoredSettingsAndTheirNotSetForms)
{
    SimBench bench(sim::defaultScenario());
    DeviceSettings found = ReadDeviceSettings(bench.context);
    EXPECT_EQ(found.pin, "1234");
    EXPECT_EQ(found.accessPoint->name, "internet.korvantix.example");
    EXPECT_EQ(found.accessPoint->user, "gprs");
    EXPECT_EQ(found.ip, "192.0.2.47");
    EXPECT_EQ(found.port, "5050");

    sim::Scenario erased = sim::defaultScenario();
    erased.modem.pin = "";
    erased.modem.apnUser = "";
    erased.modem.apnPassword = "";
    erased.modem.serverIp = "";
    erased.modem.serverPort = -1;
    SimBench empty(erased);
    found = ReadDeviceSettings(empty.context);
    EXPECT_EQ(found.pin, "");
    EXPECT_EQ(found.accessPoint->name, "internet.korvantix.example");
    EXPECT_EQ(found.accessPoint->user, "");
    EXPECT_EQ(found.accessPoint->password, "");
    EXPECT_EQ(found.ip, "");
    EXPECT_EQ(found.port, "");
    EXPECT_NE(utf8FromCp1251(empty.log.modem.at(2)).find("PIN=яяяя;"), std::string::npos);
}

// The commands a technician types first in the AT console, answered as a
// modem of this family does, from the scenario's values.
TEST(ModemSimTest, AtConsoleAnswersIdentitySignalAndNetworkQueries)
{
    struct Case {
        const char* command;
        std::function<void(sim::ModemScenario&)> change;
        std::string answer;  // between the frame's "GSMCOMMAND=" and its end
    };
    const auto none = [](sim::ModemScenario&) {};
    const auto ok = [](const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; };
    const Case cases[] = {
        {"AT", none, "\r\nOK\r\n"},
        {"ATI", none, ok("Telit")},
        {"AT+CGMI", [](auto& m) { m.manufacturer = "Telit Wireless"; }, ok("Telit Wireless")},
        {"AT+CGMM", none, ok("GL865-QUAD")},
        {"AT+CGMR", [](auto& m) { m.revision = "10.01.034"; }, ok("10.01.034")},
        {"AT+CGSN", none, ok("356938035643809")},
        {"at+cgsn", none, ok("356938035643809")},
        {"AT+CIMI", none, ok("250011234567890")},
        {"AT+CCID", none, ok("+CCID: 89701012345678901234")},
        {"AT+CIMI", [](auto& m) { m.sim = "absent"; }, "\r\nERROR\r\n"},
        {"AT+CCID", [](auto& m) { m.sim = "pin"; }, "\r\nERROR\r\n"},
        {"AT+CSQ", none, ok("+CSQ: 18,0")},
        {"AT+CSQ", [](auto& m) { m.rssi = 7; m.ber = 99; }, ok("+CSQ: 7,99")},
        {"AT+CREG?", none, ok("+CREG: 0,1")},
        {"AT+CREG?", [](auto& m) { m.registration = 2; }, ok("+CREG: 0,2")},
        {"AT+CGREG?", [](auto& m) { m.registration = 5; }, ok("+CGREG: 0,5")},
        {"AT+COPS?", none, ok("+COPS: 0,0,\"MTS RUS\"")},
        {"AT+COPS?", [](auto& m) { m.registration = 5; m.operatorName = "Beeline"; }, ok("+COPS: 0,0,\"Beeline\"")},
        {"AT+COPS?", [](auto& m) { m.registration = 3; }, ok("+COPS: 0")},
        {"AT+CPIN?", none, ok("+CPIN: READY")},
        {"AT+CPIN?", [](auto& m) { m.sim = "pin"; }, ok("+CPIN: SIM PIN")},
        {"AT+XYZ", none, "\r\nERROR\r\n"},
        {"ATI9", none, "\r\nERROR\r\n"},
    };
    for (const Case& c : cases) {
        sim::Scenario scenario = sim::defaultScenario();
        c.change(scenario.modem);
        SimBench bench(scenario);
        bench.tests.powerOn(0);
        SCOPED_TRACE(std::string(c.command) + " " + scenario.modem.sim);
        bench.tests.atConsole(c.command, "1000");
        EXPECT_EQ(bench.lastLine(), "< GSMCOMMAND=" + c.answer);
    }
}

TEST(ModemSimTest, ScenarioKeysAreCheckedAndNamed)
{
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(sim::parseScenario(R"({"modem": {"sim": "pin", "simPin": "0000", "registration": 5,
        "serverPort": -1, "speakerBlocks": 0, "smsCommand": "SMS;$"}})", scenario, error)) << error;
    EXPECT_EQ(scenario.modem.sim, "pin");
    EXPECT_EQ(scenario.modem.registration, 5);
    EXPECT_EQ(scenario.modem.serverPort, -1);
    EXPECT_EQ(scenario.modem.smsCommand, "SMS;$");
    const std::pair<const char*, const char*> bad[] = {
        {R"({"modem": {"sim": "lost"}})", "modem.sim"},
        {R"({"modem": {"registration": 6}})", "modem.registration"},
        {R"({"modem": {"answerMs": -1}})", "modem.answerMs"},
        {R"({"modem": {"micBytes": 5000}})", "modem.micBytes"},
        {R"({"modem": {"smsCommand": "A$B$"}})", "modem.smsCommand"},
        {R"({"modem": {"smsCommand": "NOEND"}})", "modem.smsCommand"},
        {R"({"modem": {"gprsAttached": 1}})", "modem.gprsAttached"},
        {R"({"modem": 3})", "modem"},
        {R"({"modem": {"imei": "35693803564380"}})", "modem.imei"},
        {R"({"modem": {"imei": "35693803564380x"}})", "modem.imei"},
        {R"({"modem": {"iccid": "8970"}})", "modem.iccid"},
        {R"({"modem": {"imsi": ""}})", "modem.imsi"},
        {R"({"modem": {"rssi": 32}})", "modem.rssi"},
        {R"({"modem": {"ber": 8}})", "modem.ber"},
    };
    for (const auto& [json, key] : bad) {
        EXPECT_FALSE(sim::parseScenario(json, scenario, error)) << json;
        EXPECT_EQ(error.rfind(key, 0), 0u) << error;
    }
}

}  // namespace
}  // namespace ktx::gsm
