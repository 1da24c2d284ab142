#include "telit/sim/TelitScenario.h"
#include "telit/sim/SimRegistration.h"

#include "sim/ScenarioReader.h"

namespace ktx::sim {

// The "telit" object, if present; false (with the reader's message
// naming the key) on a wrong type or range.
bool readScenarioSection_telit(const Json& root, ScenarioSection_telit& areaSection, ScenarioReader& reader)
{
    TelitScenario& out = areaSection.telit;
    bool ok = true;
    const Json* section = scenarioSection(root, "telit", reader, ok);
    if (!section)
        return ok;
    const Json& s = *section;
    TelitScenario read = out;
    if (!reader.integerKey(s, "modemVersion", 0, 2, read.modemVersion)
        || !reader.integerKey(s, "enterDelayMs", 0, 60000, read.enterDelayMs)
        || !reader.integerKey(s, "ackDelayMs", 0, 10000, read.ackDelayMs)
        || !reader.integerKey(s, "erasePolls", 0, 100000, read.erasePolls)
        || !reader.integerKey(s, "silentBlock", -1, INT64_MAX, read.silentBlock)
        || !reader.boolKey(s, "eraseFails", read.eraseFails)
        || !reader.integerKey(s, "wrongAnswerRecord", -1, INT64_MAX, read.wrongAnswerRecord))
        return false;
    out = read;
    return true;
}

}  // namespace ktx::sim
