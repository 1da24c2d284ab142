// The file writer on Windows: the same rules as on POSIX systems, in Win32
// terms. A reparse point (symbolic link, junction) in the file's place is
// opened as itself and refused, never followed; a device (CON, NUL, COM1) or
// pipe is refused; a replaced file is written beside it, flushed and moved
// over it in one step. Windows has no permission bits: a new file takes its
// folder's access rules, and a read-only file is not replaced.
#include "base/FileWriter.h"
#include "base/WriteFailure.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <windows.h>

#include "base/platform/windows/WideText.h"

namespace ktx {
namespace {

using fileio::failure;
using fileio::notRegular;
using fileio::kStaleTemporaryS;

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


// A process that cannot be opened for lack of rights is alive all the same.
bool processExists(DWORD pid)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool olderThanAMinute(FILETIME written)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME t) { return (int64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return ticks(now) - ticks(written) > kStaleTemporaryS * 10000000;  // 100 ns ticks
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

WriteResult replaceFile(const std::string& path, std::string_view bytes, unsigned mode, ModeRule)
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
    std::string temporary;
    if (WriteResult written = writeTemporary(path, bytes, mode, temporary); !written)
        return written;
    if (!MoveFileExW(wideFromUtf8(temporary).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const int errorNumber = errnoFromLastError();
        removeWritten(temporary);
        return failure("cannot write", path, errorNumber);
    }
    return {};
}

WriteResult writeTemporary(const std::string& path, std::string_view bytes, unsigned, std::string& temporary)
{
    std::wstring wideTemporary;
    const HANDLE file = createTemporary(path, wideTemporary);
    if (file == INVALID_HANDLE_VALUE)
        return failure("cannot create a temporary file for", path, errnoFromLastError());
    temporary = utf8FromWide(wideTemporary);
    int errorNumber = 0;
    bool ok = writeAll(file, bytes, errorNumber);
    if (ok && !FlushFileBuffers(file)) {
        errorNumber = errnoFromLastError();
        ok = false;
    }
    CloseHandle(file);
    if (!ok) {
        removeWritten(temporary);
        return failure("cannot write", path, errorNumber);
    }
    return {};
}

// A move that never replaces: the name is claimed or found taken in one
// step, and the temporary's content arrives whole with it.
WriteResult claimName(const std::string& temporary, const std::string& path)
{
    if (MoveFileExW(wideFromUtf8(temporary).c_str(), wideFromUtf8(path).c_str(), MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return failure("the name is taken:", path, EEXIST);
    return failure("cannot write", path, errnoFromLastError());
}

void removeWritten(const std::string& path)
{
    DeleteFileW(wideFromUtf8(path).c_str());
}

// The moves are made with write-through: nothing is left to sync.
void syncDirectoryOf(const std::string&) {}

int removeStaleTemporaries(const std::string& directory)
{
    const std::string prefix = directory.empty() ? "" : directory.back() == '/' || directory.back() == '\\' ? directory : directory + "\\";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wideFromUtf8(prefix + "*.tmp-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int removed = 0;
    do {
        const std::string name = utf8FromWide(found.cFileName);
        const std::optional<uint64_t> writer = fileio::temporaryWriter(name);
        if (!writer || *writer > 0xFFFFFFFFull || *writer == GetCurrentProcessId()
            || processExists(static_cast<DWORD>(*writer))
            || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            || !olderThanAMinute(found.ftLastWriteTime))
            continue;
        removed += DeleteFileW(wideFromUtf8(prefix + name).c_str()) ? 1 : 0;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

WriteResult ensureDirectory(const std::string& path, DirectoryLink link)
{
    const std::wstring wide = wideFromUtf8(path);
    if (CreateDirectoryW(wide.c_str(), nullptr))
        return {};
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return failure("cannot create the directory", path, errnoFromLastError());
    // GetFileAttributesW tells of a link itself; a followed one must lead to
    // a folder that is there.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folder && !isReparsePoint(attributes))
        return {};
    if (folder && link == DirectoryLink::Follow) {
        const HANDLE opened = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            CloseHandle(opened);
            return {};
        }
    }
    return failure("not a directory:", path, 0);
}

}  // namespace ktx
