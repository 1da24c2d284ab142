#pragma once
// Reads a whole input file the program was pointed at. Only regular files
// are read, and the open does not block, so a FIFO or device in the file's
// place cannot hold the program up.
#include <cstddef>
#include <string>

namespace ktx {

enum class FileReadResult { Ok, CannotOpen, NotRegular, TooLarge, ReadError };

// errorNumber, when given, receives the system's errno of a failed open or
// read (0 otherwise), so the caller can say why.
FileReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes,
                               int* errorNumber = nullptr);

}  // namespace ktx
