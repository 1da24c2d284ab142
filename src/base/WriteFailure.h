#pragma once
// What the file writer's POSIX and Windows halves share: how a refusal is
// worded and how a temporary file names the process that wrote it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/FileWriter.h"

namespace ktx::fileio {

WriteResult failure(const std::string& what, const std::string& path, int errorNumber);
WriteResult notRegular(const std::string& path);

// A temporary whose writer is gone is removed only when older than this: a
// report folder shared by stations holds other machines' process ids.
constexpr int64_t kStaleTemporaryS = 60;

// The writer's process id in a name createTemporary() made ("NAME.tmp-PID-N").
std::optional<uint64_t> temporaryWriter(std::string_view name);

}  // namespace ktx::fileio
