#pragma once
// Reads back a live plot's CSV export the way a spreadsheet would: rows split
// at CR LF, fields at ',', numbers with '.' whatever the locale. An empty
// field is NaN.
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace ktx::test {

struct CsvRow {
    std::string time;
    std::vector<double> values;
};

inline std::vector<std::string> csvFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

// Every line but the header; a number that does not read whole is a test
// failure the caller sees as a value that does not match.
inline std::vector<CsvRow> csvRows(const std::string& text, std::string* header = nullptr)
{
    std::vector<CsvRow> rows;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 2;
        if (first) {
            first = false;
            if (header)
                *header = line;
            continue;
        }
        const std::vector<std::string> fields = csvFields(line);
        CsvRow row;
        row.time = fields.empty() ? std::string() : fields[0];
        for (size_t i = 1; i < fields.size(); ++i) {
            double value = std::numeric_limits<double>::quiet_NaN();
            if (!fields[i].empty()) {
                const char* begin = fields[i].data();
                const char* stop = begin + fields[i].size();
                const auto result = std::from_chars(begin, stop, value);
                if (result.ptr != stop)
                    value = -12345.678;  // an unreadable field
            }
            row.values.push_back(value);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// Equal values, or both missing.
inline bool sameSample(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

}  // namespace ktx::test
