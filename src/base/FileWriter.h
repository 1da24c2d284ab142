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
    std::string path;      // the file or directory that failed; empty when ok
    std::string error;     // what failed, in plain words, with the path; empty when ok

    explicit operator bool() const { return ok; }
};

// Appends bytes to path, creating it (mode 0644 less the umask) when missing.
WriteResult appendToFile(const std::string& path, std::string_view bytes);

// What mode a replaced file ends with: an existing file's own, or always the
// one given (a file holding a password stays owner-only whoever widened it).
enum class ModeRule { KeepExisting, Enforce };

// Replaces path with bytes atomically. mode (less the umask) applies to a
// newly created file. An existing file the process may not write is
// refused: renaming over it would bypass its owner.
WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned mode = 0644,
                        ModeRule rule = ModeRule::KeepExisting);

// Creates one directory level (mode 0755 less the umask); an existing
// directory is fine, a symlink or another kind of file in its place is not.
WriteResult ensureDirectory(const std::string& path);

}  // namespace ktx
