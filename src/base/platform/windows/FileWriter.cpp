// The file writer on Windows: the same rules as on POSIX systems, in Win32
// terms. A reparse point (symbolic link, junction) in the file's place is
// opened as itself and refused, never followed; a device (CON, NUL, COM1) or
// pipe is refused; a replaced file is written beside it, flushed and moved
// over it in one step. Windows has no permission bits: a new file takes its
// folder's access rules, and a read-only file is not replaced.
#include "base/FileWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <windows.h>

#include "base/platform/windows/WideText.h"

namespace ktx {
namespace {

WriteResult failure(const std::string& what, const std::string& path, int errorNumber)
{
    WriteResult result;
    result.ok = false;
    result.errorNumber = errorNumber;
    result.path = path;
    result.error = what + " " + path;
    if (errorNumber != 0)
        result.error += ": " + std::string(std::strerror(errorNumber));
    return result;
}

WriteResult notRegular(const std::string& path)
{
    return failure("not a regular file:", path, 0);
}

WriteResult refusedLink(const std::string& path)
{
    return failure("refused to follow a symlink at", path, 0);
}

bool isReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The file as itself (a reparse point is not followed).
HANDLE openForWriting(const std::wstring& path, DWORD access, DWORD disposition)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A disk file that is not a reparse point; else the refusal to give.
bool checkOpened(HANDLE file, const std::string& path, WriteResult& refusal)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
        refusal = notRegular(path);
        return false;
    }
    if (isReparsePoint(info.dwFileAttributes)) {
        refusal = refusedLink(path);
        return false;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        refusal = notRegular(path);
        return false;
    }
    return true;
}

bool writeAll(HANDLE file, std::string_view bytes, int& errorNumber)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            errorNumber = written == 0 && GetLastError() == ERROR_SUCCESS ? EIO : errnoFromLastError();
            return false;
        }
        done += written;
    }
    return true;
}

// A fresh name beside path, created exclusively so nothing planted there is
// reused.
HANDLE createTemporary(const std::string& path, std::wstring& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = wideFromUtf8(path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
        const HANDLE file = openForWriting(temporary, GENERIC_WRITE, CREATE_NEW);
        if (file != INVALID_HANDLE_VALUE || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

WriteResult appendToFile(const std::string& path, std::string_view bytes)
{
    const HANDLE file = openForWriting(wideFromUtf8(path), FILE_APPEND_DATA, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return failure("cannot open", path, errnoFromLastError());
    WriteResult refusal;
    if (!checkOpened(file, path, refusal)) {
        CloseHandle(file);
        return refusal;
    }
    int errorNumber = 0;
    const bool written = writeAll(file, bytes, errorNumber);
    CloseHandle(file);
    return written ? WriteResult{} : failure("cannot write", path, errorNumber);
}

WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned, ModeRule)
{
    const std::wstring target = wideFromUtf8(path);
    const DWORD existing = GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (isReparsePoint(existing))
            return refusedLink(path);
        if (existing & FILE_ATTRIBUTE_DIRECTORY)
            return notRegular(path);
        if (existing & FILE_ATTRIBUTE_READONLY)
            return failure("cannot write", path, EACCES);
    }
    std::wstring temporary;
    const HANDLE file = createTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return failure("cannot create a temporary file for", path, errnoFromLastError());
    int errorNumber = 0;
    bool ok = writeAll(file, bytes, errorNumber);
    if (ok && !FlushFileBuffers(file)) {
        errorNumber = errnoFromLastError();
        ok = false;
    }
    CloseHandle(file);
    if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        errorNumber = errnoFromLastError();
        ok = false;
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return failure("cannot write", path, errorNumber);
    }
    return {};
}

WriteResult ensureDirectory(const std::string& path)
{
    const std::wstring wide = wideFromUtf8(path);
    if (CreateDirectoryW(wide.c_str(), nullptr))
        return {};
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return failure("cannot create the directory", path, errnoFromLastError());
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !isReparsePoint(attributes))
        return {};
    return failure("not a directory:", path, 0);
}

}  // namespace ktx
