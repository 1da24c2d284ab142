#pragma once
// The program keeps text and paths in UTF-8; Windows' own calls take UTF-16.
// Converted at that boundary only, so Cyrillic folders and names work.
#include <string>
#include <string_view>

namespace ktx {

std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

// errno for the calling thread's GetLastError(), so messages and callers
// read the same on both systems (ENOENT, EACCES, ENOSPC, ...; EIO otherwise).
int errnoFromLastError();

}  // namespace ktx
