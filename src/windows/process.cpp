// The launcher on Windows: the child shares the launcher's console window, and the system
// itself finds and starts the program from the composed command line. Arguments, command
// line, title and the system's messages stay UTF-16 all the way, so no character is lost to
// a code page; the launcher's own words reach a console as characters and a file or pipe
// as GBK.

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include <conio.h>
#include <windows.h>
#include <psapi.h>

#include "platform.h"
#include "texts.h"

namespace {

// The longest command line CreateProcess accepts, in UTF-16 units with its terminator.
constexpr std::size_t longestCommandLine = 32767;

// The code page of what files and pipes receive: that of the launcher's users' consoles,
// and what every tool that has read its output so far expects.
constexpr UINT gbk = 936;

// The console's title before ours, to give back at the end: no title is longer than this
// (the system's buffer for it is under 64 KiB). Known only when it could be read.
wchar_t foundTitle[32768];
bool titleFound = false;

// Ctrl-C and Ctrl-Break while the child runs are the child's to act on; the launcher stays
// to report how it ended. Child processes do not inherit a handler routine, so unlike
// SetConsoleCtrlHandler(NULL, TRUE) this leaves the child's own Ctrl-C as it would be.
// Each process gets the event on a thread of its own, so the one that ended the child can
// reach the launcher after the wait is over: the handler stays until the launcher ends.
BOOL WINAPI outliveTheChild(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

void writeUnits(HANDLE handle, bool console, const wchar_t* units, int count)
{
    DWORD written = 0;
    if (console) {
        WriteConsoleW(handle, units, static_cast<DWORD>(count), &written, nullptr);
        return;
    }
    char bytes[2 * 1024];  // code page 936 spends at most two bytes on a UTF-16 unit
    const int size = WideCharToMultiByte(gbk, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, nullptr);
    for (int done = 0; done < size; done += static_cast<int>(written)) {
        if (!WriteFile(handle, bytes + done, static_cast<DWORD>(size - done), &written, nullptr) || written == 0) {
            return;
        }
    }
}

// Writes UTF-16 text where the stream goes: to a console as characters, whatever its code
// page and whatever the child did to it; to a file or pipe as GBK bytes, a character that
// GBK lacks as '?'. Either way a line feed goes out as CR LF, as the C runtime's text mode
// has always written it. The text goes in pieces, none of which splits a surrogate pair.
void sayUnits(Stream stream, const wchar_t* text)
{
    const HANDLE handle = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    const bool console = isConsole(handle);
    wchar_t piece[1024];
    int size = 0;
    for (; *text != 0; ++text) {
        if (*text == '\n') piece[size++] = '\r';
        piece[size++] = *text;
        if ((size >= 1020 && !IS_HIGH_SURROGATE(*text)) || size >= 1022) {
            writeUnits(handle, console, piece, size);
            size = 0;
        }
    }
    if (size > 0) writeUnits(handle, console, piece, size);
}

// The UTF-16 form of the launcher's own text, which is never longer than this.
struct Wide {
    explicit Wide(const char* utf8)
    {
        if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, sizeof text / sizeof *text) == 0) *text = 0;
    }
    wchar_t text[2048];
};

// Appends what fits of count units of text, and keeps the end terminated.
void append(wchar_t* to, std::size_t size, const wchar_t* text, std::size_t count)
{
    std::size_t at = std::wcslen(to);
    for (; count > 0 && *text != 0 && at + 1 < size; --count) to[at++] = *text++;
    to[at] = 0;
}

LONGLONG now()
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

double secondsSince(LONGLONG start)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now() - start) / static_cast<double>(frequency.QuadPart);
}

// How a child ended whose exit status is no program's own choice: what it means to one who
// is learning, where that can be said. A program may return 3, 139 or 0x80004005 on
// purpose: those are left alone.
void describeStatus(DWORD status, char* line, std::size_t size)
{
    for (const StatusWords& known : statusWords) {
        if (known.status == status) {
            _snprintf(line, size - 1, texts.crashed, known.words, known.name);
            return;
        }
    }
    if (status >= 0xC0000000) _snprintf(line, size - 1, texts.crashedUnknown, static_cast<unsigned>(status));
}

double seconds(const FILETIME& time)
{
    return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

// What the child's run cost, read before its handle is closed; what the system cannot give
// stays below 0. No program runs in no memory at all.
void readCost(HANDLE process, ChildEnd& end)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    end.cpuSeconds = GetProcessTimes(process, &created, &exited, &kernel, &user) ? seconds(kernel) + seconds(user) : -1;
    PROCESS_MEMORY_COUNTERS memory{};
    const bool known = K32GetProcessMemoryInfo(process, &memory, sizeof memory) && memory.PeakWorkingSetSize > 0;
    end.peakMegabytes = known ? static_cast<double>(memory.PeakWorkingSetSize) / 1048576 : -1;
}

ChildEnd failedStart(DWORD error, const wchar_t* commandLine)
{
    ChildEnd end{};
    end.start = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Start::notFound
                                                                               : Start::notRunnable;
    wchar_t message[256];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                       sizeof message / sizeof *message, nullptr) == 0) {
        _snprintf(end.reason, sizeof end.reason - 1, "error %lu", static_cast<unsigned long>(error));
        return end;
    }
    // The system ends its messages with a line break; ours puts the line break itself.
    for (std::size_t size = std::wcslen(message); size > 0 && std::wcschr(L"\r\n ", message[size - 1]); --size) {
        message[size - 1] = 0;
    }
    // Some messages name the file as %1 ("%1 is not a valid Win32 application."): it is the
    // program, the command line's first word, without the quotes around it.
    wchar_t reason[sizeof end.reason / 3] = L"";
    const wchar_t* const insert = std::wcsstr(message, L"%1");
    append(reason, sizeof reason / sizeof *reason, message, insert == nullptr ? std::wcslen(message) : insert - message);
    if (insert != nullptr) {
        const bool quoted = *commandLine == '"';
        const wchar_t* const program = commandLine + (quoted ? 1 : 0);
        append(reason, sizeof reason / sizeof *reason, program, std::wcscspn(program, quoted ? L"\"" : L" \t"));
        append(reason, sizeof reason / sizeof *reason, insert + 2, std::wcslen(insert + 2));
    }
    WideCharToMultiByte(CP_UTF8, 0, reason, -1, end.reason, sizeof end.reason, nullptr, nullptr);
    return end;
}

}  // namespace

void claimConsole(const char* title)
{
    // An empty title reads as 0 units with no error; without a console, the call fails.
    SetLastError(ERROR_SUCCESS);
    titleFound = GetConsoleTitleW(foundTitle, sizeof foundTitle / sizeof *foundTitle) > 0 ||
                 GetLastError() == ERROR_SUCCESS;
    SetConsoleTitleW(Wide(title).text);
}

// A title that could not be read is left as it is, rather than replaced with nothing.
void releaseConsole()
{
    if (titleFound) SetConsoleTitleW(foundTitle);
}

void say(Stream stream, const char* format, ...)
{
    // The system's own printf: the C runtime that every Windows has, not a copy in the exe.
    char text[2048];  // every line of the launcher's own is shorter
    va_list figures;
    va_start(figures, format);
    if (_vsnprintf(text, sizeof text - 1, format, figures) < 0) text[sizeof text - 1] = 0;
    va_end(figures);
    sayUnits(stream, Wide(text).text);
}

void sayCommandLine(Stream stream, const wchar_t* commandLine) { sayUnits(stream, commandLine); }

ChildEnd runChild(wchar_t* commandLine)
{
    // The system would cut a longer line or refuse it; better it is not sent at all.
    if (std::wcslen(commandLine) >= longestCommandLine) return failedStart(ERROR_FILENAME_EXCED_RANGE, commandLine);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetConsoleCtrlHandler(outliveTheChild, TRUE);
    const LONGLONG started = now();
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ChildEnd end = failedStart(GetLastError(), commandLine);
        end.seconds = secondsSince(started);
        return end;
    }

    ChildEnd end{};
    DWORD exitCode = 0;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &exitCode);
    const double ranFor = secondsSince(started);
    if (ended) {
        end.start = Start::ran;
        end.exitCode = static_cast<std::int32_t>(exitCode);
        describeStatus(exitCode, end.ending, sizeof end.ending);
        readCost(process.hProcess, end);
    } else {
        // The system's words for it, as for a start that failed.
        end = failedStart(GetLastError(), commandLine);
        end.start = Start::lost;
    }
    end.seconds = ranFor;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return end;
}

void waitForKey()
{
    // Only a console shows the prompt. Output to a file or pipe is read by a program (a
    // build tool, an IDE's panel, CI), often with no window at all: nobody is there to press
    // a key, and _getch, which reads the console whatever the streams are, would wait for ever.
    if (!isConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return;
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
