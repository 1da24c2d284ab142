#pragma once
// Reads a whole input file the program was pointed at. Only regular files
// are read, and the open does not block, so a FIFO or device in the file's
// place cannot hold the program up.
#include <cstddef>
#include <cstdio>
#include <string>

namespace ktx {

enum class FileReadResult { Ok, CannotOpen, NotRegular, TooLarge, ReadError };

// errorNumber, when given, receives the system's errno of a failed open or
// read (0 otherwise), so the caller can say why.
FileReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes,
                               int* errorNumber = nullptr);

// The file open for reading in binary, or null when it cannot be opened or
// is not a regular file (a FIFO or device in its place is not waited on).
std::FILE* openRegularFileStream(const std::string& path);

}  // namespace ktx
