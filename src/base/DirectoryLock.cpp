#include "base/DirectoryLock.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ktx {
namespace {

// Never follows a symlink and never waits on a FIFO in the file's place.
int openLockFile(const std::string& path)
{
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0600);
    // A directory the user may not write to can still hold a lock file from
    // an earlier run; an flock needs no write access.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        const int refused = errno;
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
        // No file there: the folder's refusal is the reason to give.
        if (fd < 0 && errno == ENOENT)
            errno = refused;
    }
    return fd;
}

pid_t readOwner(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(text, text + n, pid);
    if (error != std::errc() || pid <= 0 || (end != text + n && *end != '\n'))
        return 0;
    return static_cast<pid_t>(pid);
}

void writeOwner(int fd)
{
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(::getpid()));
    // Best effort: the pid only makes the other console's message clearer
    // (one started in the instant between our flock and this write reads
    // the previous owner's).
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, text, static_cast<size_t>(length), 0);
}

}  // namespace

DirectoryLock::DirectoryLock(const std::string& directory)
    : path_((directory.empty() ? std::string(".") : directory) + "/" + kDirectoryLockFileName)
{
    fd_ = openLockFile(path_);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = EINVAL;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    int locked = -1;
    do {
        locked = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked == 0) {
        state_ = State::Held;
        writeOwner(fd_);
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::Busy;
        ownerPid_ = readOwner(fd_);
    } else {
        error_ = errno;
    }
    ::close(fd_);
    fd_ = -1;
}

DirectoryLock::~DirectoryLock()
{
    // Closing releases the flock. The file stays: removing it would let a
    // third console lock a fresh file while a second still waits on the old.
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace ktx
