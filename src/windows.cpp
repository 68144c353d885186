// The launcher on Windows: the child shares the launcher's console window, and the system
// itself finds and starts the program from the composed command line.

#include <cstdio>
#include <cstring>
#include <string_view>

#include <conio.h>
#include <windows.h>

#include "platform.h"

namespace {

// The longest command line CreateProcess accepts, in characters with its terminator.
constexpr int longestCommandLine = 32767;

char foundTitle[1024];  // the console's title before ours, to give back at the end

// Ctrl-C and Ctrl-Break while the child runs are the child's to act on; the launcher stays
// to report how it ended. Child processes do not inherit a handler routine, so unlike
// SetConsoleCtrlHandler(NULL, TRUE) this leaves the child's own Ctrl-C as it would be.
// Each process gets the event on a thread of its own, so the one that ended the child can
// reach the launcher after the wait is over: the handler stays until the launcher ends.
BOOL WINAPI outliveTheChild(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// The program as the command line names it: its first word, without the quotes around it.
std::string_view programIn(const char* commandLine)
{
    if (*commandLine == '"') return {commandLine + 1, std::strcspn(commandLine + 1, "\"")};
    return {commandLine, std::strcspn(commandLine, " \t")};
}

ChildEnd failedStart(DWORD error, std::string_view program)
{
    ChildEnd end{};
    end.start = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Start::notFound
                                                                               : Start::notRunnable;
    char message[sizeof end.reason];
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                       message, sizeof message, nullptr) == 0) {
        std::snprintf(message, sizeof message, "error %lu", static_cast<unsigned long>(error));
    }
    // The system ends its messages with a line break; ours puts the line break itself.
    for (std::size_t size = std::strlen(message);
         size > 0 && std::strchr("\r\n ", message[size - 1]) != nullptr; --size) {
        message[size - 1] = '\0';
    }
    // Some messages name the file as %1 ("%1 is not a valid Win32 application."): it is the program.
    const char* const insert = std::strstr(message, "%1");
    if (insert == nullptr) {
        std::snprintf(end.reason, sizeof end.reason, "%s", message);
    } else {
        std::snprintf(end.reason, sizeof end.reason, "%.*s%.*s%s", static_cast<int>(insert - message),
                      message, static_cast<int>(program.size()), program.data(), insert + 2);
    }
    return end;
}

}  // namespace

void claimConsole(const char* title)
{
    GetConsoleTitleA(foundTitle, sizeof foundTitle);
    SetConsoleTitleA(title);
}

void releaseConsole() { SetConsoleTitleA(foundTitle); }

bool isLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

ChildEnd runChild(char* commandLine)
{
    // The system would cut a longer line or refuse it; better it is not sent at all.
    if (MultiByteToWideChar(CP_ACP, 0, commandLine, -1, nullptr, 0) > longestCommandLine) {
        return failedStart(ERROR_FILENAME_EXCED_RANGE, programIn(commandLine));
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetConsoleCtrlHandler(outliveTheChild, TRUE);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return failedStart(GetLastError(), programIn(commandLine));
    }

    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    ChildEnd end{};
    end.start = Start::ran;
    end.exitCode = static_cast<std::int32_t>(exitCode);
    return end;
}

void waitForKey()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    if (console) {
        // Ctrl-C is a key like any other here, and only a key pressed now counts.
        SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
        FlushConsoleInputBuffer(input);
    }
    _getch();
    if (console) SetConsoleMode(input, mode);
}
