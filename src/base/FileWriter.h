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

// Whether a symlink standing for a directory is taken: a folder the user
// named on the command line may be one on purpose; the program's own
// folders may not.
enum class DirectoryLink { Refuse, Follow };

// Creates one directory level (mode 0755 less the umask); an existing
// directory is fine, another kind of file in its place is not, nor a
// symlink unless link says Follow (and it leads to a directory).
WriteResult ensureDirectory(const std::string& path, DirectoryLink link = DirectoryLink::Refuse);

// Publishing files under names no other process can take at the same time:
// writeTemporary() writes the bytes whole beside path under a fresh
// "<path>.tmp-<pid>-<n>" name and syncs them; claimName() then gives that
// content the name path only if no file has it yet (errorNumber EEXIST when
// taken), so two writers never share or swap a name.
WriteResult writeTemporary(const std::string& path, std::string_view bytes, unsigned mode, std::string& temporary);
WriteResult claimName(const std::string& temporary, const std::string& path);
// Removes a file the program wrote itself (a temporary, or a name claimed by
// a publish being undone); a missing file is no error.
void removeWritten(const std::string& path);
// Syncs the directory entry of path (after a claim or a rename).
void syncDirectoryOf(const std::string& path);

// Removes from directory the temporary files ("NAME.tmp-PID-N") that a
// process of this program left when it was killed mid-write: only regular
// files of that pattern whose process is gone and that are older than a
// minute (a folder shared by several machines shows other machines' PIDs,
// whose writes take milliseconds). Returns how many it removed.
int removeStaleTemporaries(const std::string& directory);

}  // namespace ktx
