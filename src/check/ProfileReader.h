#pragma once
// Reads the keys of one object of a profile; the first problem is kept with
// its key's path ("steps[3].pin") and what was expected there. Each area's
// steps read their own keys with it.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/CNumbers.h"
#include "check/CheckArea.h"

namespace ktx::check {

// The longest wait a step's keys may ask for, in seconds.
constexpr double kLongestWaitS = 600;

inline const std::vector<std::string_view> kRangeKeys = {"min", "max"};

inline std::string joinedKeys(const std::vector<std::string_view>& keys)
{
    std::string text;
    for (const std::string_view key : keys)
        text += (text.empty() ? "" : ", ") + std::string(key);
    return text;
}

class ProfileReader {
public:
    using json = nlohmann::json;

    ProfileReader(const json& object, std::string path, std::string& error) : object_(object), path_(std::move(path)), error_(error) {}

    bool ok() const { return error_.empty(); }
    std::string at(const char* key) const { return path_ + "." + key; }

    bool fail(const std::string& where, const char* expected)
    {
        if (error_.empty())
            error_ = "profile key \"" + where + "\": expected " + expected;
        return false;
    }

    // Every key of the object must be one of known.
    bool onlyKeys(const std::vector<std::string_view>& known, const std::string& where)
    {
        return keysWithin(object_, known, path_.empty() ? "" : path_ + ".", where);
    }
    bool keysWithin(const json& object, const std::vector<std::string_view>& known, const std::string& prefix,
        const std::string& where)
    {
        for (const auto& [key, value] : object.items())
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                if (error_.empty())
                    error_ = "profile key \"" + prefix + key + "\": not known " + where + "; the keys there are "
                        + joinedKeys(known);
                return false;
            }
        return true;
    }
    void required(const char* key, const char* expected)
    {
        if (!find(key))
            fail(at(key), expected);
    }

    const json* find(const char* key) const
    {
        const auto it = object_.find(key);
        return it == object_.end() || it->is_null() ? nullptr : &*it;
    }

    void text(const char* key, std::string& out, bool required = false)
    {
        const json* value = find(key);
        if (!value) {
            if (required)
                fail(at(key), "a text");
            return;
        }
        if (!value->is_string())
            return void(fail(at(key), "a text"));
        out = value->get<std::string>();
    }
    void flag(const char* key, bool& out)
    {
        if (const json* value = find(key)) {
            if (!value->is_boolean())
                return void(fail(at(key), "true or false"));
            out = value->get<bool>();
        }
    }
    void number(const char* key, double& out, double low, double high)
    {
        if (const json* value = find(key))
            numberAt(*value, at(key), out, low, high);
    }
    void integer(const char* key, int& out, int low, int high)
    {
        if (const json* value = find(key))
            integerAt(*value, at(key), out, low, high);
    }
    void range(const char* key, Range& out, double low, double high)
    {
        if (const json* value = find(key))
            rangeAt(*value, at(key), out, low, high);
    }
    void optionalRange(const char* key, std::optional<Range>& out, double low, double high)
    {
        const json* value = find(key);
        if (!value) {
            out.reset();
            return;
        }
        Range range;
        if (rangeAt(*value, at(key), range, low, high))
            out = range;
    }
    void texts(const char* key, std::vector<std::string>& out)
    {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_array())
            return void(fail(at(key), "a list of texts"));
        out.clear();
        for (size_t i = 0; i < value->size(); ++i) {
            if (!(*value)[i].is_string())
                return void(fail(at(key) + "[" + std::to_string(i) + "]", "a text"));
            out.push_back((*value)[i].get<std::string>());
        }
    }
    void integers(const char* key, std::vector<int>& out, int low, int high)
    {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_array())
            return void(fail(at(key), "a list of whole numbers"));
        out.clear();
        for (size_t i = 0; i < value->size(); ++i) {
            int item = 0;
            if (!integerAt((*value)[i], at(key) + "[" + std::to_string(i) + "]", item, low, high))
                return;
            out.push_back(item);
        }
    }

    bool numberAt(const json& value, const std::string& where, double& out, double low, double high)
    {
        if (!value.is_number())
            return fail(where, "a number");
        const double number = value.get<double>();
        if (number < low || number > high) {
            const CNumbersScope pointDecimals;
            char expected[96];
            std::snprintf(expected, sizeof expected, "a number from %g to %g", low, high);
            return fail(where, expected);
        }
        out = number;
        return true;
    }
    bool integerAt(const json& value, const std::string& where, int& out, int low, int high)
    {
        if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high) {
            char expected[96];
            std::snprintf(expected, sizeof expected, "a whole number from %d to %d", low, high);
            return fail(where, expected);
        }
        out = static_cast<int>(value.get<int64_t>());
        return true;
    }
    bool rangeAt(const json& value, const std::string& where, Range& out, double low, double high)
    {
        if (!value.is_object() || !value.contains("min") || !value.contains("max"))
            return fail(where, "an object with \"min\" and \"max\"");
        if (!keysWithin(value, kRangeKeys, where + ".", "in a range"))
            return false;
        Range range;
        if (!numberAt(value["min"], where + ".min", range.low, low, high)
            || !numberAt(value["max"], where + ".max", range.high, low, high))
            return false;
        if (range.low > range.high)
            return fail(where, "\"min\" not above \"max\"");
        out = range;
        return true;
    }

private:
    const json& object_;
    std::string path_;
    std::string& error_;
};

}  // namespace ktx::check
