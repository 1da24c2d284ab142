// The step types the areas register are the ones the JSON Schemas of the
// profile and the record list, each with the same keys, and each has a
// title: an area added or changed without its schema entry fails here,
// naming the type and the file.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "check/CheckArea.h"

namespace ktx::check::test {
namespace {

using nlohmann::json;

const std::set<std::string> kKeysOfEveryStep = {"type", "name", "optional", "skip"};

json readSchema(const std::string& name)
{
    std::ifstream file(std::string(KTX_SCHEMA_DIR) + "/" + name);
    EXPECT_TRUE(file.is_open()) << KTX_SCHEMA_DIR << "/" << name;
    return file.is_open() ? json::parse(file) : json::object();
}

std::set<std::string> registeredTypes()
{
    std::set<std::string> types;
    for (const CheckArea* area : checkAreas())
        for (const StepType& stepType : area->steps)
            types.emplace(stepType.type);
    return types;
}

// What is in one set and not the other, both ways, as one message.
std::string differences(const std::set<std::string>& registered, const std::set<std::string>& listed,
                        const std::string& where)
{
    std::string said;
    for (const std::string& name : registered)
        if (!listed.count(name))
            said += "\"" + name + "\" is registered but not in " + where + "\n";
    for (const std::string& name : listed)
        if (!registered.count(name))
            said += "\"" + name + "\" is in " + where + " but not registered\n";
    return said;
}

std::set<std::string> enumAt(const json& schema, const json::json_pointer& at)
{
    std::set<std::string> names;
    if (schema.contains(at) && schema.at(at).is_array())
        for (const json& name : schema.at(at))
            names.insert(name.get<std::string>());
    return names;
}

TEST(StepTypeLists, BothSchemasListEveryRegisteredTypeAndNoOther)
{
    const struct {
        const char* file;
        const char* enumPointer;
    } lists[] = {
        {"check-profile.schema.json", "/definitions/step/properties/type/enum"},
        {"check-record.schema.json", "/definitions/step/properties/type/enum"},
    };
    const std::set<std::string> registered = registeredTypes();
    ASSERT_FALSE(registered.empty());
    for (const auto& list : lists) {
        const json schema = readSchema(list.file);
        const json::json_pointer at(list.enumPointer);
        ASSERT_TRUE(schema.contains(at)) << list.file << " has no " << list.enumPointer;
        EXPECT_EQ(differences(registered, enumAt(schema, at), std::string(list.file) + " " + list.enumPointer), "");
    }
}

// The profile's schema has, for each type, a rule choosing its definition
// and a definition with exactly the keys the profile reader takes.
TEST(StepTypeLists, TheProfileSchemaGivesEachTypeItsOwnKeys)
{
    const std::string file = "check-profile.schema.json";
    const json schema = readSchema(file);
    std::set<std::string> chosen;
    for (const json& rule : schema.value(json::json_pointer("/definitions/step/allOf"), json::array())) {
        const json::json_pointer type("/if/properties/type/const");
        const json::json_pointer ref("/then/$ref");
        if (!rule.contains(type) || !rule.contains(ref))
            continue;
        const std::string name = rule.at(type).get<std::string>();
        EXPECT_EQ(rule.at(ref).get<std::string>(), "#/definitions/" + name) << file << ": the rule for \"" << name << "\"";
        chosen.insert(name);
    }
    EXPECT_EQ(differences(registeredTypes(), chosen, file + " /definitions/step/allOf"), "");

    for (const CheckArea* area : checkAreas())
        for (const StepType& stepType : area->steps) {
            const std::string name(stepType.type);
            const json::json_pointer properties("/definitions/" + name + "/properties");
            if (!schema.contains(properties)) {
                ADD_FAILURE() << file << " has no /definitions/" << name << " for the step type \"" << name << "\"";
                continue;
            }
            std::set<std::string> listed;
            for (const auto& [key, value] : schema.at(properties).items())
                listed.insert(key);
            std::set<std::string> taken(kKeysOfEveryStep);
            taken.insert(stepType.keys.begin(), stepType.keys.end());
            EXPECT_EQ(differences(taken, listed, file + " /definitions/" + name + "/properties"), "")
                << "the keys of the step type \"" << name << "\"";
        }
}

TEST(StepTypeLists, EveryTypeIsRegisteredOnceWithATitle)
{
    std::set<std::string> types;
    std::set<std::string> titles;
    for (const CheckArea* area : checkAreas())
        for (const StepType& stepType : area->steps) {
            EXPECT_TRUE(types.emplace(stepType.type).second) << "\"" << stepType.type << "\" registered twice";
            EXPECT_FALSE(stepType.title.empty()) << "\"" << stepType.type << "\" has no title";
            EXPECT_TRUE(titles.emplace(stepType.title).second)
                << "\"" << stepType.type << "\" shares its title " << stepType.title;
            EXPECT_EQ(findStepType(stepType.type), &stepType) << stepType.type;
        }
}

}  // namespace
}  // namespace ktx::check::test
