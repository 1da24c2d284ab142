#pragma once
// A log sink for tests that keeps every console line and data log line.
#include <string>
#include <string_view>
#include <vector>

#include "base/LogSink.h"

namespace ktx::test {

struct StreamLine {
    std::string directory, stem, fields;
};

class RecordingSink : public LogSink {
public:
    int debugLevel() const override { return 2; }
    void debugLine(std::string_view text) override { debug.emplace_back(text); }
    void modemLine(std::string_view text) override { modem.emplace_back(text); }
    void rs485Line(std::string_view text) override { rs485.emplace_back(text); }
    void telitLine(std::string_view text) override { telit.emplace_back(text); }
    void streamLine(std::string_view directory, std::string_view stem, std::string_view fields) override
    {
        streams.push_back({std::string(directory), std::string(stem), std::string(fields)});
    }

    std::vector<std::string> debug;
    std::vector<std::string> modem;
    std::vector<std::string> rs485;
    std::vector<std::string> telit;
    std::vector<StreamLine> streams;
};

}  // namespace ktx::test
