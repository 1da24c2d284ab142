#include "gsm/sim/ModemScenario.h"
#include "gsm/sim/SimRegistration.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

namespace {

constexpr size_t kMaxText = 120;
constexpr int64_t kMaxModemMs = 120000;

bool allDigits(const std::string& value)
{
    return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
}

// A signal quality number: its range, or 99 for not known.
bool qualityValue(int value, int maximum)
{
    return (value >= 0 && value <= maximum) || value == 99;
}

bool oneOf(const std::string& value, std::initializer_list<const char*> allowed)
{
    for (const char* a : allowed)
        if (value == a)
            return true;
    return false;
}

}  // namespace

// The "modem" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_gsm(const Json& root, ScenarioSection_gsm& areaSection, ScenarioReader& reader)
{
    ModemScenario& out = areaSection.modem;
    bool ok = true;
    const Json* section = scenarioSection(root, "modem", reader, ok);
    if (!section)
        return ok;
    ModemScenario s = out;
    const Json& m = *section;
    if (!(reader.stringKey(m, "sim", 10, s.sim) && reader.stringKey(m, "simPin", 16, s.simPin)
            && reader.integerKey(m, "registration", 0, 5, s.registration)
            && reader.boolKey(m, "gprsAttached", s.gprsAttached)
            && reader.stringKey(m, "contextIp", 15, s.contextIp)
            && reader.integerKey(m, "answerMs", 0, kMaxModemMs, s.answerMs)
            && reader.integerKey(m, "startMs", 0, kMaxModemMs, s.startMs)
            && reader.integerKey(m, "connectMs", 0, kMaxModemMs, s.connectMs)
            && reader.integerKey(m, "dialMs", 0, kMaxModemMs, s.dialMs)
            && reader.stringKey(m, "callResult", 20, s.callResult)
            && reader.stringKey(m, "smsCommand", kMaxText, s.smsCommand)
            && reader.integerKey(m, "micBytes", 0, 1023, s.micBytes)
            && reader.integerKey(m, "speakerBlocks", 0, 100, s.speakerBlocks)
            && reader.stringKey(m, "pin", 16, s.pin) && reader.stringKey(m, "apn", kMaxText, s.apn)
            && reader.stringKey(m, "apnUser", kMaxText, s.apnUser)
            && reader.stringKey(m, "apnPassword", kMaxText, s.apnPassword)
            && reader.stringKey(m, "serverIp", 15, s.serverIp)
            && reader.integerKey(m, "serverPort", -1, 65535, s.serverPort)
            && reader.stringKey(m, "manufacturer", 40, s.manufacturer) && reader.stringKey(m, "model", 40, s.model)
            && reader.stringKey(m, "revision", 40, s.revision) && reader.stringKey(m, "imei", 15, s.imei)
            && reader.stringKey(m, "imsi", 15, s.imsi) && reader.stringKey(m, "iccid", 20, s.iccid)
            && reader.integerKey(m, "rssi", 0, 99, s.rssi) && reader.integerKey(m, "ber", 0, 99, s.ber)
            && reader.stringKey(m, "operatorName", 24, s.operatorName)))
        return false;
    if (s.imei.size() != 15 || !allDigits(s.imei))
        return reader.fail("modem.imei", "expected 15 digits");
    if (!allDigits(s.imsi))
        return reader.fail("modem.imsi", "expected up to 15 digits");
    if (s.iccid.size() < 18 || !allDigits(s.iccid))
        return reader.fail("modem.iccid", "expected 18 to 20 digits");
    if (!qualityValue(s.rssi, 31))
        return reader.fail("modem.rssi", "expected 0 to 31, or 99 for not known");
    if (!qualityValue(s.ber, 7))
        return reader.fail("modem.ber", "expected 0 to 7, or 99 for not known");
    if (!oneOf(s.sim, {"ready", "pin", "puk", "absent"}))
        return reader.fail("modem.sim", "expected \"ready\", \"pin\", \"puk\" or \"absent\"");
    if (s.smsCommand.empty() || (s.smsCommand.back() != '$'))
        return reader.fail("modem.smsCommand", "expected a command ending in \"$\"");
    if (s.smsCommand.find('$') != s.smsCommand.size() - 1)
        return reader.fail("modem.smsCommand", "expected a single \"$\", at the end");
    out = s;
    return true;
}

}  // namespace ktx::sim
