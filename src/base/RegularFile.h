#pragma once
// Reads a whole input file the program was pointed at. Only regular files
// are read, and the open does not block, so a FIFO or device in the file's
// place cannot hold the program up.
#include <cstddef>
#include <string>

namespace ktx {

enum class FileReadResult { Ok, CannotOpen, NotRegular, TooLarge, ReadError };

FileReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes);

}  // namespace ktx
