#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ktx {

FileReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, int* errorNumber)
{
    int ignored = 0;
    int& error = errorNumber ? *errorNumber : ignored;
    error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return FileReadResult::CannotOpen;
    }
    struct stat info {};
    FileReadResult result = FileReadResult::Ok;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        result = FileReadResult::NotRegular;
    else if (info.st_size < 0 || static_cast<size_t>(info.st_size) > maxBytes)
        result = FileReadResult::TooLarge;
    if (result == FileReadResult::Ok) {
        // Read one byte past the limit so a file that grew meanwhile is caught.
        // The buffer starts at the file's size: filling a whole megabyte
        // for a small settings file costs start-up time.
        const size_t limit = maxBytes + 1;
        std::string read(std::min(limit, static_cast<size_t>(info.st_size) + 1), '\0');
        size_t got = 0;
        while (got < limit) {
            if (got == read.size())
                read.resize(std::min(limit, read.size() * 2));
            const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                result = FileReadResult::ReadError;
                break;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        read.resize(got);
        if (result == FileReadResult::Ok && got > maxBytes)
            result = FileReadResult::TooLarge;
        if (result == FileReadResult::Ok)
            bytes = std::move(read);
    }
    ::close(fd);
    return result;
}

std::FILE* openRegularFileStream(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

}  // namespace ktx
