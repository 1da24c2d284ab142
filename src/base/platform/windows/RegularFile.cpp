// Input files on Windows: opened by their UTF-16 name; only a disk file
// that is not a folder is read (a device or pipe name is refused at once).
#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "base/platform/windows/WideText.h"

namespace ktx {
namespace {

HANDLE openForReading(const std::string& path)
{
    return CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool isFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Its size, or -1 when it is not a regular file.
int64_t regularFileSize(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return (int64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

}  // namespace

FileReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, int* errorNumber)
{
    int ignored = 0;
    int& error = errorNumber ? *errorNumber : ignored;
    error = 0;
    const HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        error = errnoFromLastError();
        // A folder cannot be opened as a file here; it is there, but no file.
        if (isFolder(path)) {
            error = 0;
            return FileReadResult::NotRegular;
        }
        return FileReadResult::CannotOpen;
    }
    const int64_t size = regularFileSize(file);
    FileReadResult result = FileReadResult::Ok;
    if (size < 0)
        result = FileReadResult::NotRegular;
    else if (static_cast<uint64_t>(size) > maxBytes)
        result = FileReadResult::TooLarge;
    if (result == FileReadResult::Ok) {
        // One byte past the limit, so a file that grew meanwhile is caught.
        const size_t limit = maxBytes + 1;
        std::string read(std::min(limit, static_cast<size_t>(size) + 1), '\0');
        size_t got = 0;
        while (got < limit) {
            if (got == read.size())
                read.resize(std::min(limit, read.size() * 2));
            DWORD n = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(read.size() - got, 1u << 30));
            if (!ReadFile(file, read.data() + got, chunk, &n, nullptr)) {
                error = errnoFromLastError();
                result = FileReadResult::ReadError;
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        read.resize(got);
        if (result == FileReadResult::Ok && got > maxBytes)
            result = FileReadResult::TooLarge;
        if (result == FileReadResult::Ok)
            bytes = std::move(read);
    }
    CloseHandle(file);
    return result;
}

std::FILE* openRegularFileStream(const std::string& path)
{
    const HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    if (regularFileSize(file) < 0) {
        CloseHandle(file);
        return nullptr;
    }
    // The C runtime takes the handle over: fclose closes it.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "rb");
    if (!stream)
        _close(fd);
    return stream;
}

}  // namespace ktx
