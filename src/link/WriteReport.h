#pragma once
// Files are written through base/FileWriter; what could not be written is
// said here, on the debug console, once per file.
#include "base/FileWriter.h"
#include "base/LogSink.h"

namespace ktx {

// Says result's failure on log's debug console the first time its file
// fails; returns result.ok so a caller can stop writing a file that failed.
bool reportWrite(LogSink& log, const WriteResult& result);

}  // namespace ktx
