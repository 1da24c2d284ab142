#pragma once
// The device's serial number (a USB string) names its data log files, so it
// is made into one harmless file name component first.
#include <cstddef>
#include <string>
#include <string_view>

namespace ktx {

constexpr size_t kMaxFileComponent = 64;

// Replaces path separators, control bytes and characters Windows forbids in
// names with '_', and every dot that would start a name or follow another
// dot, so the result is never "." or ".." and holds no "..". Cut to
// kMaxFileComponent bytes; "unknown" when nothing is left.
std::string safeFileComponent(std::string_view text);

// The serial number as USB strings arrive (Windows-1251 bytes) made safe as
// above and spelled in UTF-8, as Linux file names are, so that a log file is
// named as the serial number reads on screen.
std::string serialFileComponent(std::string_view serialCp1251);

}  // namespace ktx
