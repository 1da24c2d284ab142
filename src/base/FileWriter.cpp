#include "base/FileWriter.h"
#include "base/WriteFailure.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ktx {
namespace {

using fileio::failure;
using fileio::notRegular;
using fileio::kStaleTemporaryS;

WriteResult openFailure(const std::string& path, int errorNumber)
{
    // O_NOFOLLOW says ELOOP for a symlink, O_NONBLOCK says ENXIO for a FIFO
    // nobody reads: both mean something else stands in the file's place.
    if (errorNumber == ELOOP)
        return failure("refused to follow a symlink at", path, 0);
    if (errorNumber == ENXIO)
        return notRegular(path);
    return failure("cannot open", path, errorNumber);
}

// O_NONBLOCK keeps a FIFO without a reader from holding the open up (it fails
// with ENXIO instead); O_NOFOLLOW refuses a symlink in the file's place;
// O_NOCTTY keeps a terminal from becoming ours.
int openForWriting(const std::string& path, int flags, unsigned mode)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool isRegular(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

bool writeAll(int fd, std::string_view bytes, int& errorNumber)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errorNumber = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void syncDirectory(const std::string& path)
{
    const int fd = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A fresh name beside path, created exclusively so nothing planted there is
// reused; the mode goes through open() so the umask applies.
int createTemporary(const std::string& path, unsigned mode, std::string& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = openForWriting(temporary, O_CREAT | O_EXCL, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes bytes to a fresh temporary beside path and syncs them; finalMode,
// when given, is set whatever the umask. The temporary is gone on failure.
WriteResult writeTemporaryFile(const std::string& path, std::string_view bytes, unsigned mode,
    std::optional<mode_t> finalMode, std::string& temporary)
{
    const int fd = createTemporary(path, mode, temporary);
    if (fd < 0)
        return failure("cannot create a temporary file for", path, errno);
    int errorNumber = 0;
    bool ok = true;
    if (finalMode && ::fchmod(fd, *finalMode) != 0) {
        errorNumber = errno;
        ok = false;
    }
    ok = ok && writeAll(fd, bytes, errorNumber);
    if (ok && ::fsync(fd) != 0) {
        errorNumber = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok && errno != EINTR) {
        errorNumber = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return failure("cannot write", path, errorNumber);
    }
    return {};
}


// EPERM: alive, only not ours to signal.
bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

WriteResult appendToFile(const std::string& path, std::string_view bytes)
{
    const int fd = openForWriting(path, O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return openFailure(path, errno);
    if (!isRegular(fd)) {
        ::close(fd);
        return notRegular(path);
    }
    // A line cut by a full disk would have the next one glued to its
    // remains: what a failed append wrote is taken back.
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    int errorNumber = 0;
    const bool written = writeAll(fd, bytes, errorNumber);
    if (!written && sized && ::ftruncate(fd, before.st_size) != 0 && errorNumber == 0)
        errorNumber = errno;
    if (::close(fd) != 0 && written && errno != EINTR)
        return failure("cannot write", path, errno);
    return written ? WriteResult{} : failure("cannot write", path, errorNumber);
}

WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned mode, ModeRule rule)
{
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISLNK(existing.st_mode))
            return failure("refused to follow a symlink at", path, 0);
        if (!S_ISREG(existing.st_mode))
            return notRegular(path);
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            return failure("cannot write", path, errno);
    }
    const std::optional<mode_t> finalMode = rule == ModeRule::Enforce ? std::optional<mode_t>(mode)
        : exists                                                       ? std::optional<mode_t>(existing.st_mode & 07777)
                                                                       : std::nullopt;
    std::string temporary;
    if (WriteResult written = writeTemporaryFile(path, bytes, mode, finalMode, temporary); !written)
        return written;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int errorNumber = errno;
        ::unlink(temporary.c_str());
        return failure("cannot write", path, errorNumber);
    }
    syncDirectory(path);
    return {};
}

WriteResult writeTemporary(const std::string& path, std::string_view bytes, unsigned mode, std::string& temporary)
{
    return writeTemporaryFile(path, bytes, mode, std::nullopt, temporary);
}

WriteResult claimName(const std::string& temporary, const std::string& path)
{
    if (::link(temporary.c_str(), path.c_str()) == 0)
        return {};
    const int errorNumber = errno;
    if (errorNumber == EEXIST)
        return failure("the name is taken:", path, EEXIST);
    if (errorNumber != EPERM && errorNumber != EOPNOTSUPP && errorNumber != ENOSYS)
        return failure("cannot write", path, errorNumber);
    // A file system without hard links (FAT, some network shares): the name
    // is claimed with an empty file, then the content renamed over it.
    const int fd = openForWriting(path, O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return errno == EEXIST ? failure("the name is taken:", path, EEXIST) : openFailure(path, errno);
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(path.c_str());
        return failure("cannot write", path, renameError);
    }
    return {};
}

void removeWritten(const std::string& path) { ::unlink(path.c_str()); }

void syncDirectoryOf(const std::string& path) { syncDirectory(path); }

int removeStaleTemporaries(const std::string& directory)
{
    DIR* folder = ::opendir(directory.c_str());
    if (!folder)
        return 0;
    int removed = 0;
    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    while (const dirent* entry = ::readdir(folder)) {
        const std::optional<uint64_t> writer = fileio::temporaryWriter(entry->d_name);
        // An id no process can have is not one of this writer's names.
        if (!writer || *writer > uint64_t(std::numeric_limits<pid_t>::max())
            || *writer == uint64_t(::getpid()) || processExists(static_cast<pid_t>(*writer)))
            continue;
        const std::string path = prefix + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
            && std::time(nullptr) - info.st_mtime > kStaleTemporaryS && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}

WriteResult ensureDirectory(const std::string& path, DirectoryLink link)
{
    if (::mkdir(path.c_str(), 0755) == 0)
        return {};
    const int errorNumber = errno;
    struct stat info {};
    const auto statOf = link == DirectoryLink::Follow ? ::stat : ::lstat;
    if (errorNumber == EEXIST && statOf(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    if (errorNumber == EEXIST)
        return failure("not a directory:", path, 0);
    return failure("cannot create the directory", path, errorNumber);
}

}  // namespace ktx
