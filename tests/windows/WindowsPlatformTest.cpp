// The Windows platform files: UTF-8 names reaching Win32 as UTF-16, the file
// writer's rules in Win32 terms, the thread's number locale, and the D2XX
// back end on the stand-in ftd2xx.dll built beside this program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <windows.h>

#include "base/CNumbers.h"
#include "base/FileWriter.h"
#include "base/RegularFile.h"
#include "base/platform/windows/WideText.h"
#include "link/D2xxDriver.h"

namespace ktx {
namespace {

// A fresh folder with a Cyrillic name under the system's temporary folder.
class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder_ = utf8FromWide(temp) + "ktx-Проверка-" + std::to_string(GetCurrentProcessId()) + "-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(ensureDirectory(folder_)) << folder_;
    }

    void TearDown() override
    {
        // Whatever a test left, read-only files included.
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(wideFromUtf8(folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring entry = wideFromUtf8(folder_ + "\\") + found.cFileName;
                SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!DeleteFileW(entry.c_str()))
                    RemoveDirectoryW(entry.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(wideFromUtf8(folder_).c_str());
    }

    std::string path(const std::string& name) const { return folder_ + "\\" + name; }

    // The file's bytes, opened by its UTF-16 name (so a name mangled on the
    // way is not found).
    static std::string bytesOf(const std::string& utf8Path)
    {
        std::string bytes;
        EXPECT_EQ(readRegularFile(utf8Path, 1 << 20, bytes), FileReadResult::Ok) << utf8Path;
        return bytes;
    }

    static bool existsWide(const std::wstring& widePath)
    {
        return GetFileAttributesW(widePath.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // The folder's entries other than . and ..
    int entries() const
    {
        int count = 0;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(wideFromUtf8(folder_ + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return -1;
        do {
            count += std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

    std::string folder_;
};

TEST_F(WindowsFiles, CyrillicNamesReachTheSystemAsTheirUtf16Letters)
{
    const std::string name = path("Запись №1.txt");
    ASSERT_TRUE(appendToFile(name, "a"));
    ASSERT_TRUE(appendToFile(name, "b\r\n"));
    EXPECT_TRUE(existsWide(wideFromUtf8(folder_) + L"\\\x0417\x0430\x043F\x0438\x0441\x044C \x2116" L"1.txt"));
    EXPECT_EQ(bytesOf(name), "ab\r\n");
    EXPECT_EQ(utf8FromWide(wideFromUtf8("Линия 1 — ёЁ")), "Линия 1 — ёЁ");
}

TEST_F(WindowsFiles, ReplaceSwapsTheWholeFileAndLeavesNoTemporaryBehind)
{
    const std::string name = path("настройки.ini");
    ASSERT_TRUE(replaceFile(name, "old"));
    ASSERT_TRUE(replaceFile(name, "new content"));
    EXPECT_EQ(bytesOf(name), "new content");
    EXPECT_EQ(entries(), 1);
}

TEST_F(WindowsFiles, WhatIsNoPlainFileIsRefusedAndKeptAsItWas)
{
    const std::string readOnly = path("только чтение.txt");
    ASSERT_TRUE(replaceFile(readOnly, "kept"));
    ASSERT_TRUE(SetFileAttributesW(wideFromUtf8(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
    const WriteResult overReadOnly = replaceFile(readOnly, "lost");
    EXPECT_FALSE(overReadOnly);
    EXPECT_EQ(overReadOnly.errorNumber, EACCES);
    EXPECT_EQ(bytesOf(readOnly), "kept");

    const std::string folder = path("папка");
    ASSERT_TRUE(ensureDirectory(folder));
    EXPECT_NE(replaceFile(folder, "x").error.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(appendToFile(folder, "x"));

    // A device name opens the device, never a file: refused before writing.
    const WriteResult device = appendToFile("NUL", "x");
    EXPECT_FALSE(device);
    EXPECT_NE(device.error.find("not a regular file"), std::string::npos) << device.error;

    EXPECT_EQ(entries(), 2);  // no temporary left over from the refusals
}

TEST_F(WindowsFiles, SymbolicLinkIsRefusedAndItsTargetUntouched)
{
    const std::string target = path("цель.txt");
    const std::string link = path("ссылка.txt");
    ASSERT_TRUE(replaceFile(target, "target"));
    if (!CreateSymbolicLinkW(wideFromUtf8(link).c_str(), wideFromUtf8(target).c_str(),
            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "no symbolic links here (error " << GetLastError() << ")";
    // Wine 8 makes a POSIX symlink to the Windows path's text, which its
    // own calls cannot resolve or show as a reparse point; Windows does.
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(link).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "symbolic links are not shown as reparse points here";
    for (const WriteResult& result : {appendToFile(link, "x"), replaceFile(link, "x")}) {
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find("symlink"), std::string::npos) << result.error;
    }
    EXPECT_EQ(bytesOf(target), "target");
}

TEST_F(WindowsFiles, DirectoriesAndReadsSayWhatIsWrong)
{
    EXPECT_TRUE(ensureDirectory(path("записи")));
    EXPECT_TRUE(ensureDirectory(path("записи")));  // there already: fine
    ASSERT_TRUE(replaceFile(path("файл"), "x"));
    EXPECT_NE(ensureDirectory(path("файл")).error.find("not a directory"), std::string::npos);
    EXPECT_EQ(ensureDirectory(path("нет\\такой")).errorNumber, ENOENT);

    std::string bytes;
    int errorNumber = 0;
    EXPECT_EQ(readRegularFile(path("нет.json"), 100, bytes, &errorNumber), FileReadResult::CannotOpen);
    EXPECT_EQ(errorNumber, ENOENT);
    EXPECT_EQ(readRegularFile(path("записи"), 100, bytes), FileReadResult::NotRegular);
    ASSERT_TRUE(replaceFile(path("большой"), std::string(101, 'x')));
    EXPECT_EQ(readRegularFile(path("большой"), 100, bytes), FileReadResult::TooLarge);
    EXPECT_EQ(openRegularFileStream(path("записи")), nullptr);
    std::FILE* stream = openRegularFileStream(path("файл"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::fgetc(stream), 'x');
    std::fclose(stream);
}

// A record's name is claimed in one step: a free name takes the written
// content whole, a taken one is refused and keeps its own.
TEST_F(WindowsFiles, ClaimingANameNeverReplacesAnother)
{
    std::string temporary;
    ASSERT_TRUE(writeTemporary(path("запись.json"), "first", 0644, temporary));
    ASSERT_TRUE(claimName(temporary, path("запись.json")));
    EXPECT_EQ(bytesOf(path("запись.json")), "first");

    ASSERT_TRUE(writeTemporary(path("запись.json"), "second", 0644, temporary));
    const WriteResult taken = claimName(temporary, path("запись.json"));
    EXPECT_FALSE(taken);
    EXPECT_EQ(taken.errorNumber, EEXIST);
    EXPECT_EQ(bytesOf(path("запись.json")), "first");
    removeWritten(temporary);
    removeWritten(path("нет такого"));  // a missing file is no error
    EXPECT_EQ(entries(), 1);
}

// Left-over temporaries of a writer that is gone are removed once they are
// a minute old; a live writer's, a fresh one and other files stay.
TEST_F(WindowsFiles, StaleTemporariesOfGoneWritersAreRemoved)
{
    const auto plant = [this](const std::string& name, int ageS) {
        ASSERT_TRUE(replaceFile(path(name), "x"));
        const HANDLE file = CreateFileW(wideFromUtf8(path(name)).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
            OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
        ticks.QuadPart -= uint64_t(ageS) * 10000000;
        const FILETIME then{ticks.LowPart, ticks.HighPart};
        SetFileTime(file, nullptr, nullptr, &then);
        CloseHandle(file);
    };
    const std::string me = std::to_string(GetCurrentProcessId());
    plant("отчёт.json.tmp-4000000000-1", 120);    // no such process: removed
    plant("отчёт.json.tmp-4000000000-2", 5);      // too fresh
    plant("отчёт.json.tmp-" + me + "-3", 120);    // this process's own
    plant("отчёт.json.tmp-x-4", 120);             // not a name the writer makes
    EXPECT_EQ(removeStaleTemporaries(folder_), 1);
    EXPECT_EQ(entries(), 3);
}

// The technician's locale writes a decimal comma; number texts made in the
// scope keep the point, and the thread gets its locale back afterwards.
TEST(WindowsNumbers, ScopeWritesAPointUnderADecimalCommaLocale)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "Russian_Russia.1251") && !std::setlocale(LC_NUMERIC, "ru-RU"))
        GTEST_SKIP() << "no Russian locale here";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 12.5);
    const bool commaLocale = std::strcmp(text, "12,5") == 0;
    {
        const CNumbersScope pointDecimals;
        std::snprintf(text, sizeof text, "%.1f", 12.5);
        EXPECT_STREQ(text, "12.5");
    }
    std::snprintf(text, sizeof text, "%.1f", 12.5);
    EXPECT_STREQ(text, commaLocale ? "12,5" : "12.5");
    std::setlocale(LC_NUMERIC, before.c_str());
}

TEST(D2xxDriverLoad, MissingLibraryOrCallIsNamed)
{
    std::string error;
    EXPECT_EQ(D2xxDriver::load("no-such-ftd2xx.dll", error), nullptr);
    EXPECT_EQ(error.rfind("the FTDI D2XX driver is not installed: no-such-ftd2xx.dll could not be loaded", 0), 0u)
        << error;
    // A library that is there but is no D2XX driver.
    EXPECT_EQ(D2xxDriver::load("kernel32.dll", error), nullptr);
    EXPECT_EQ(error, "the FTDI D2XX driver is not installed: kernel32.dll has no FT_ListDevices");
}

// The back end through LoadLibrary and GetProcAddress on the stand-in DLL:
// listing, strings, an open, a command and its reply, a close.
TEST(D2xxDriverLoad, TalksToTheTrackerBehindTheLibrary)
{
    std::string error;
    const auto driver = D2xxDriver::load("ftd2xx.dll", error);
    ASSERT_NE(driver, nullptr) << error;
    uint32_t count = 0;
    ASSERT_EQ(driver->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    ASSERT_EQ(count, 1u);
    char serial[kFtListBufferSize] = {};
    ASSERT_EQ(driver->FT_ListDevices(nullptr, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(serial, "1234567");

    FT_HANDLE handle = nullptr;
    ASSERT_EQ(driver->FT_Open(0, &handle), FT_OK);
    ASSERT_EQ(driver->FT_SetTimeouts(handle, 500, 500), FT_OK);
    const std::string command = "FL_READ_VERSION$";
    uint32_t written = 0;
    ASSERT_EQ(driver->FT_Write(handle, command.data(), static_cast<uint32_t>(command.size()), &written), FT_OK);
    EXPECT_EQ(written, command.size());
    char reply[10] = {};
    uint32_t received = 0;
    ASSERT_EQ(driver->FT_Read(handle, reply, sizeof reply, &received), FT_OK);
    EXPECT_EQ(std::string(reply, received), "SUMI-5.7ab");
    EXPECT_EQ(driver->FT_Close(handle), FT_OK);
    // An index past the list fails as the library says, with its status.
    EXPECT_NE(driver->FT_Open(5, &handle), FT_OK);
    EXPECT_NE(driver->lastFailure().detail.find("FT_Open"), std::string::npos);
}

}  // namespace
}  // namespace ktx
