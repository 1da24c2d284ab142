#include "check/ConsoleProcess.h"

#include <cstdlib>
#include <cstring>
#include <windows.h>

#include "base/platform/windows/WideText.h"

namespace ktx::check {
namespace {

std::atomic<bool>* stopFlag = nullptr;
UINT consoleCodePageBefore = 0;

// Windows ends the process once this returns from a closing console (or
// after about five seconds): it waits there so the run can clean up.
BOOL WINAPI onConsoleControl(DWORD event)
{
    if (stopFlag)
        stopFlag->store(true);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(10000);
    return TRUE;
}

void restoreConsoleCodePage()
{
    SetConsoleOutputCP(consoleCodePageBefore);
}

}  // namespace

// The ANSI argv cannot hold a Cyrillic name on a western Windows: the
// UTF-16 command line can.
ProgramArguments::ProgramArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide) {
        for (int i = 0; i < count; ++i)
            texts_.push_back(utf8FromWide(wide[i]));
        LocalFree(wide);
    } else {
        texts_.assign(argv, argv + argc);
    }
    for (std::string& text : texts_)
        pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

// The program writes UTF-8; a console shows it as such once its output code
// page says so (set back at exit, as the console was someone else's). The
// live line needs the console to take terminal sequences (erase to the end
// of the line); one that cannot (before Windows 10) gets plain lines, as a
// pipe or file does.
bool prepareConsoleOutput()
{
    const auto isConsole = [](DWORD which) {
        DWORD mode = 0;
        const HANDLE stream = GetStdHandle(which);
        return stream != INVALID_HANDLE_VALUE && stream != nullptr && GetConsoleMode(stream, &mode);
    };
    const auto takesSequences = [] {
        DWORD mode = 0;
        const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        return GetConsoleMode(output, &mode)
            && ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
                || SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
    };
    const bool outputIsConsole = isConsole(STD_OUTPUT_HANDLE) && takesSequences();
    // Messages on a console's stderr need the code page as much.
    if (outputIsConsole || isConsole(STD_ERROR_HANDLE)) {
        consoleCodePageBefore = GetConsoleOutputCP();
        if (consoleCodePageBefore != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
            std::atexit(restoreConsoleCodePage);
    }
    return outputIsConsole;
}

void watchStopRequests(std::atomic<bool>& stop)
{
    stopFlag = &stop;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

// Windows' access rights are not permission bits: a file made and removed
// at once is the one sure answer.
bool folderTakesFiles(const std::string& dir, std::string& error)
{
    const std::string probe = dir + "\\.korvantix-check-" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileW(wideFromUtf8(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "report folder " + dir + ": " + std::strerror(errnoFromLastError());
        return false;
    }
    CloseHandle(file);
    return true;
}

}  // namespace ktx::check
