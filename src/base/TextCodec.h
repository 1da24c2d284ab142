#pragma once
// Texts for the device and for files are Windows-1251; the program works in
// UTF-8. Characters that have no Windows-1251 form become '?'.
#include <string>
#include <string_view>

namespace ktx {

std::string cp1251FromUtf8(std::string_view utf8);
std::string utf8FromCp1251(std::string_view cp1251);

}  // namespace ktx
