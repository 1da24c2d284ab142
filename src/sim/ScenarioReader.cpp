#include "sim/ScenarioReader.h"

namespace ktx::sim {

const Json* scenarioSection(const Json& root, const char* key, ScenarioReader& reader, bool& ok)
{
    ok = true;
    const auto it = root.find(key);
    if (it == root.end())
        return nullptr;
    if (!it->is_object()) {
        ok = reader.fail(key, "expected a JSON object");
        return nullptr;
    }
    reader.setPrefix(std::string(key) + ".");
    return &*it;
}

}  // namespace ktx::sim
