#pragma once
// The one way the console writes files. Every writer follows the same rules:
// a symlink in the file's place is never followed, a FIFO or device is never
// opened for writing (nor waited on), only regular files are written, EINTR
// is retried and descriptors are closed on exec. A replaced file is whole:
// either the old content or the new, never a mix (temporary file, fsync,
// rename).
#include <string>
#include <string_view>

namespace ktx {

struct WriteResult {
    bool ok = true;
    int errorNumber = 0;   // errno of the failing call, 0 when ok or not a system error
    std::string error;     // what failed, in plain words, with the path; empty when ok

    explicit operator bool() const { return ok; }
};

// Appends bytes to path, creating it (mode 0644 less the umask) when missing.
WriteResult appendToFile(const std::string& path, std::string_view bytes);

// Replaces path with bytes atomically. mode applies to a newly created file;
// an existing file's mode is kept.
WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// Creates one directory level (mode 0755 less the umask); an existing
// directory is fine, a symlink or another kind of file in its place is not.
WriteResult ensureDirectory(const std::string& path);

}  // namespace ktx
