#pragma once
// Reads scenario keys with range checks; a failure names the key (with its
// section prefix, "faults.silent") and what was expected. Each area of the
// simulated tracker reads its own section of the scenario with it.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/LogSink.h"

namespace ktx::sim {

using Json = nlohmann::json;

// "line L, column C: expected ..., found ..." for a text that isn't JSON (a
// scenario, a check profile), in the words of someone editing the file.
std::string describeSyntaxError(std::string_view text, const Json::parse_error& e);

class ScenarioReader {
public:
    explicit ScenarioReader(std::string& error) : error_(error) {}

    bool fail(const std::string& key, const std::string& what)
    {
        error_ = key + ": " + what;
        return false;
    }

    bool integer(const Json& value, const std::string& key, int64_t min, int64_t max, int64_t& out)
    {
        const std::string range = "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
        if (!value.is_number_integer())
            return fail(key, range);
        if (value.is_number_unsigned()) {
            const auto u = value.get<uint64_t>();
            if (u > static_cast<uint64_t>(max) || (min > 0 && u < static_cast<uint64_t>(min)))
                return fail(key, range);
            out = static_cast<int64_t>(u);
            return true;
        }
        const auto v = value.get<int64_t>();
        if (v < min || v > max)
            return fail(key, range);
        out = v;
        return true;
    }

    template <typename T>
    bool integerKey(const Json& object, const char* key, int64_t min, int64_t max, T& out)
    {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        int64_t v = 0;
        if (!integer(*it, prefix_ + key, min, max, v))
            return false;
        out = static_cast<T>(v);
        return true;
    }

    bool number(const Json& value, const std::string& key, double min, double max, double& out)
    {
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < min
            || value.get<double>() > max) {
            return fail(key, formatText("expected a number from %g to %g", min, max));
        }
        out = value.get<double>();
        return true;
    }

    bool boolKey(const Json& object, const char* key, bool& out)
    {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_boolean())
            return fail(prefix_ + key, "expected true or false");
        out = it->get<bool>();
        return true;
    }

    bool stringKey(const Json& object, const char* key, size_t maxLength, std::string& out)
    {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_string())
            return fail(prefix_ + key, "expected a string");
        const auto& text = it->get_ref<const std::string&>();
        if (text.size() > maxLength)
            return fail(prefix_ + key, "longer than " + std::to_string(maxLength) + " bytes");
        out = text;
        return true;
    }

    // A fault share: true/false or a number from 0 to 1.
    bool shareKey(const Json& object, const char* key, double& out)
    {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        if (it->is_boolean()) {
            out = it->get<bool>() ? 1.0 : 0.0;
            return true;
        }
        if (!it->is_number())
            return fail(prefix_ + key, "expected true, false or a number from 0 to 1");
        return number(*it, prefix_ + key, 0.0, 1.0, out);
    }

    template <typename T, size_t N, typename Each>
    bool arrayKey(const Json& object, const char* key, std::array<T, N>& out, Each each)
    {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        const std::string name = prefix_ + key;
        if (!it->is_array() || it->size() != N)
            return fail(name, "expected an array of " + std::to_string(N) + " values");
        std::array<T, N> values{};
        for (size_t i = 0; i < N; ++i)
            if (!each((*it)[i], name + "[" + std::to_string(i) + "]", values[i]))
                return false;
        out = values;
        return true;
    }

    void setPrefix(std::string prefix) { prefix_ = std::move(prefix); }

private:
    std::string& error_;
    std::string prefix_;
};

// The object under key in root, or nullptr when the key is absent (the
// area keeps its defaults). A key that is not an object fails the read; the
// reader's prefix becomes "key.".
const Json* scenarioSection(const Json& root, const char* key, ScenarioReader& reader, bool& ok);

}  // namespace ktx::sim
