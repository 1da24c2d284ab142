#include "base/FileWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ktx {
namespace {

WriteResult failure(const std::string& what, const std::string& path, int errorNumber)
{
    WriteResult result;
    result.ok = false;
    result.errorNumber = errorNumber;
    result.error = what + " " + path;
    if (errorNumber != 0)
        result.error += ": " + std::string(std::strerror(errorNumber));
    return result;
}

WriteResult notRegular(const std::string& path)
{
    WriteResult result;
    result.ok = false;
    result.error = "not a regular file: " + path;
    return result;
}

// O_NONBLOCK keeps a FIFO without a reader from holding the open up (it fails
// with ENXIO instead); O_NOFOLLOW refuses a symlink in the file's place.
int openForWriting(const std::string& path, int flags, unsigned mode)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, std::string_view bytes, int& errorNumber)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            errorNumber = errno;
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

}  // namespace

WriteResult appendToFile(const std::string& path, std::string_view bytes)
{
    const int fd = openForWriting(path, O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return errno == ELOOP ? failure("refused to follow a symlink at", path, ELOOP)
                              : failure("cannot open", path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular(path);
    }
    int errorNumber = 0;
    const bool written = writeAll(fd, bytes, errorNumber);
    if (::close(fd) != 0 && written)
        return failure("cannot write", path, errno);
    return written ? WriteResult{} : failure("cannot write", path, errorNumber);
}

WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned mode)
{
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (S_ISLNK(existing.st_mode))
            return failure("refused to follow a symlink at", path, ELOOP);
        if (!S_ISREG(existing.st_mode))
            return notRegular(path);
        mode = existing.st_mode & 07777;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failure("cannot create a temporary file for", path, errno);
    ::fchmod(fd, static_cast<mode_t>(mode));
    int errorNumber = 0;
    bool ok = writeAll(fd, bytes, errorNumber);
    if (ok && ::fsync(fd) != 0) {
        errorNumber = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        errorNumber = errno;
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        errorNumber = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return failure("cannot write", path, errorNumber);
    }
    syncDirectory(path);
    return {};
}

WriteResult ensureDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) == 0)
        return {};
    const int errorNumber = errno;
    struct stat info {};
    if (errorNumber == EEXIST && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    if (errorNumber == EEXIST)
        return failure("not a directory:", path, 0);
    return failure("cannot create the directory", path, errorNumber);
}

}  // namespace ktx
