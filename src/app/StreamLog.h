#pragma once
// The per-device data logs: one line appended per call, the file opened and
// closed each time so every line is on disk at once and other programs may
// read or move the file between lines. A line that cannot be written is
// dropped and the failure returned, for the caller to say.
#include <functional>
#include <string>
#include <string_view>

#include "base/FileWriter.h"

namespace ktx {

class StreamLog {
public:
    // stampText gives the date-and-time text that starts each line.
    StreamLog(std::string rootDir, std::function<std::string()> stampText);

    // rootDir/directory/<stem>-<serial>.txt gets stamp + " | " + fields
    // (fields carry their own line end). The directory is created when missing.
    WriteResult append(std::string_view directory, std::string_view stem, std::string_view serialText,
                std::string_view fields) const;
    // rootDir/file gets text + "\r\n".
    WriteResult appendText(std::string_view file, std::string_view text) const;

private:
    std::string rootDir_;
    std::function<std::string()> stampText_;
};

}  // namespace ktx
