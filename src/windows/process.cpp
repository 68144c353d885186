// The child on Windows: found where cmd would find it, started with CreateProcessW from the
// composed command line (a batch file through cmd, by cmd's own rules), and reported as it
// ended. Arguments, command line and the system's messages stay UTF-16 all the way.

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>
#include <psapi.h>

#include "../compose.h"
#include "../platform.h"
#include "../texts.h"

namespace {

// The longest command line CreateProcess accepts, in UTF-16 units with its terminator; the
// longest path it takes, the same.
constexpr std::size_t longestCommandLine = 32767;
constexpr std::size_t longestPath = 32767;

// Ctrl-C and Ctrl-Break while the child runs are the child's to act on; the launcher stays
// to report how it ended. Child processes do not inherit a handler routine, so unlike
// SetConsoleCtrlHandler(NULL, TRUE) this leaves the child's own Ctrl-C as it would be.
// Each process gets the event on a thread of its own, so the one that ended the child can
// reach the launcher after the wait is over: the handler stays until the launcher ends.
BOOL WINAPI outliveTheChild(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

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
// is learning, where that can be said. Only a status of the system's form (severity error,
// neither a customer's code nor reserved: 0xC...) is one; a program's own -1, 3, 139 or
// 0x80004005 is left alone.
void describeStatus(DWORD status, char* line, std::size_t size)
{
    for (const StatusWords& known : texts.statusWords) {
        if (known.status == status) {
            _snprintf(line, size - 1, texts.crashed, known.words, known.name);
            return;
        }
    }
    if ((status & 0xF0000000) == 0xC0000000) _snprintf(line, size - 1, texts.crashedUnknown, static_cast<unsigned>(status));
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

// A start that failed, in the system's words, which name the program where they name a file.
ChildEnd failedStart(DWORD error, const wchar_t* program)
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
    // Some messages name the file as %1 ("%1 is not a valid Win32 application.").
    wchar_t reason[sizeof end.reason / 3] = L"";
    const wchar_t* const insert = std::wcsstr(message, L"%1");
    append(reason, sizeof reason / sizeof *reason, message, insert == nullptr ? std::wcslen(message) : insert - message);
    if (insert != nullptr) {
        append(reason, sizeof reason / sizeof *reason, program, std::wcslen(program));
        append(reason, sizeof reason / sizeof *reason, insert + 2, std::wcslen(insert + 2));
    }
    WideCharToMultiByte(CP_UTF8, 0, reason, -1, end.reason, sizeof end.reason, nullptr, nullptr);
    return end;
}

// Finding the program -------------------------------------------------------------------

// The value of an environment variable, or null when it is not set (or no memory).
wchar_t* environmentValue(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return nullptr;
    auto* const value = static_cast<wchar_t*>(std::malloc(size * sizeof(wchar_t)));
    if (value != nullptr && GetEnvironmentVariableW(name, value, size) + 1 != size) {
        std::free(value);
        return nullptr;
    }
    return value;
}

// The name's last part, after its folder.
const wchar_t* fileName(const wchar_t* name)
{
    for (const wchar_t* at = name; *at != 0; ++at) {
        if (*at == '\\' || *at == '/' || *at == ':') name = at + 1;
    }
    return name;
}

bool isFile(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Tries the name in one folder (none: where the name itself says): as given when it has
// an extension, else with each extension of the list in turn. The file found is left in
// `found`, which holds longestPath units.
bool findIn(const wchar_t* folder, std::size_t folderLength, const wchar_t* name, const wchar_t* extensions,
            wchar_t* found)
{
    std::size_t length = 0;
    const auto add = [&](const wchar_t* text, std::size_t count) {
        if (length + count >= longestPath) return false;
        std::wmemcpy(found + length, text, count);
        length += count;
        found[length] = 0;
        return true;
    };
    if (!add(folder, folderLength)) return false;
    if (folderLength > 0 && folder[folderLength - 1] != '\\' && folder[folderLength - 1] != '/' && !add(L"\\", 1)) {
        return false;
    }
    if (!add(name, std::wcslen(name))) return false;
    if (std::wcschr(fileName(name), '.') != nullptr) return isFile(found);
    const std::size_t stem = length;
    for (const wchar_t* extension = extensions; *extension != 0;) {
        const std::size_t size = std::wcscspn(extension, L";");
        length = stem;
        if (size > 0 && add(extension, size) && isFile(found)) return true;
        extension += size;
        if (*extension == ';') ++extension;
    }
    return false;
}

// The file that cmd would run for the name: with a folder in it, in that folder; else in the
// current folder, then in each folder of PATH. Never the launcher's own folder, where
// CreateProcess would look first: that is the IDE's, not the user's.
bool findProgram(const wchar_t* name, wchar_t* found)
{
    if (*name == 0) return false;
    wchar_t* const listed = environmentValue(L"PATHEXT");
    const wchar_t* const extensions = listed != nullptr ? listed : L".COM;.EXE;.BAT;.CMD";
    bool known = false;
    if (*fileName(name) != 0 && fileName(name) != name) {
        known = findIn(L"", 0, name, extensions, found);
    } else if (!(known = findIn(L".", 1, name, extensions, found))) {
        wchar_t* const path = environmentValue(L"PATH");
        for (const wchar_t* folder = path; folder != nullptr && *folder != 0 && !known;) {
            std::size_t size = std::wcscspn(folder, L";");
            // A folder may stand in quotes, as it must when it holds a ';'.
            const bool quoted = size >= 2 && folder[0] == '"' && folder[size - 1] == '"';
            if (size > 0) known = findIn(folder + (quoted ? 1 : 0), size - (quoted ? 2 : 0), name, extensions, found);
            folder += size;
            if (*folder == ';') ++folder;
        }
        std::free(path);
    }
    std::free(listed);
    return known;
}

bool isBatchFile(const wchar_t* file)
{
    const wchar_t* const extension = std::wcsrchr(fileName(file), '.');
    return extension != nullptr && (_wcsicmp(extension, L".bat") == 0 || _wcsicmp(extension, L".cmd") == 0);
}

// Batch files ---------------------------------------------------------------------------

// cmd splits a batch file's arguments at blanks and at these, and acts on the rest of them
// outside quotes; inside quotes it takes them all literally.
bool cmdNeedsQuotes(const wchar_t* argument) { return *argument == 0 || std::wcspbrk(argument, L" \t&|<>^(),;=") != nullptr; }

// The line cmd reads a batch file's arguments from: the file found, then each argument,
// in quotes where cmd would act on them, each followed by a space. A backslash means
// nothing to cmd: none is doubled.
wchar_t* composeForCmd(const wchar_t* program, int count, wchar_t* const* arguments)
{
    std::size_t length = std::wcslen(program) + 3;
    for (int i = 1; i < count; ++i) length += std::wcslen(arguments[i]) + 3;
    auto* const line = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (line == nullptr) return nullptr;
    wchar_t* end = line;
    for (int i = 0; i < count; ++i) {
        const wchar_t* const argument = i == 0 ? program : arguments[i];
        const bool quoted = cmdNeedsQuotes(argument);
        if (quoted) *end++ = '"';
        const std::size_t size = std::wcslen(argument);
        std::wmemcpy(end, argument, size);
        end += size;
        if (quoted) *end++ = '"';
        *end++ = ' ';
    }
    *end = 0;
    return line;
}

// What cmd cannot be given literally even in quotes: a quote ends them, a percent sign
// expands a variable, and a line break ends the command. Whether an argument holds one (0
// is the program itself), and then a line that says which and why.
bool refusedForCmd(const Command& command, char* line, std::size_t size)
{
    for (int i = 0; i < command.count; ++i) {
        const wchar_t* const argument = i == 0 ? command.program : command.arguments[i];
        const wchar_t* const unsafe = std::wcspbrk(argument, L"\"%\r\n");
        if (unsafe == nullptr) continue;
        char quoted[] = {'"', static_cast<char>(*unsafe), '"', 0};
        const char* const what = *unsafe == '\r' ? texts.carriageReturn : *unsafe == '\n' ? texts.lineFeed : quoted;
        _snprintf(line, size - 1, texts.refusedForBatch, i, what);
        return true;
    }
    return false;
}

// cmd, to run the batch file's line: without AutoRun commands (/d), a '!' taken literally
// (/v:off), the line in one more pair of quotes, which cmd takes off before it reads it.
wchar_t* cmdRunning(const wchar_t* line, wchar_t* shell)
{
    const UINT folder = GetSystemDirectoryW(shell, MAX_PATH);
    if (folder == 0 || folder + 9 > MAX_PATH) return nullptr;
    std::wcscpy(shell + folder, L"\\cmd.exe");
    const wchar_t prefix[] = L"cmd.exe /d /v:off /c \"";
    const std::size_t size = std::wcslen(prefix) + std::wcslen(line) + 2;
    auto* const whole = static_cast<wchar_t*>(std::malloc(size * sizeof(wchar_t)));
    if (whole == nullptr) return nullptr;
    std::wcscpy(whole, prefix);
    std::wcscat(whole, line);
    std::wcscat(whole, L"\"");
    return whole;
}

// What CreateProcess is given for the command: the file and its line, or for a batch file
// cmd and the line that runs it.
struct Startable {
    const wchar_t* program;
    wchar_t* line;
    wchar_t* owned;  // a line made here, to free
    wchar_t shell[MAX_PATH];
};

// Readies the command to start; false, and why in `end`, when it cannot be.
bool readyToStart(Command& command, Startable& startable, ChildEnd& end)
{
    if (command.program == nullptr) {
        end = failedStart(ERROR_FILE_NOT_FOUND, command.arguments[0]);
        return false;
    }
    if (command.batch && refusedForCmd(command, end.reason, sizeof end.reason)) {
        end.start = Start::refused;
        return false;
    }
    startable.owned = command.batch ? cmdRunning(command.line, startable.shell) : nullptr;
    if (command.batch && startable.owned == nullptr) {
        end = failedStart(GetLastError(), command.arguments[0]);
        return false;
    }
    startable.line = command.batch ? startable.owned : command.line;
    startable.program = command.batch ? startable.shell : command.program;
    // The system would cut a longer line or refuse it, in words that blame a file name.
    const std::size_t length = std::wcslen(startable.line);
    if (length < longestCommandLine) return true;
    std::free(startable.owned);
    end.start = Start::notRunnable;
    _snprintf(end.reason, sizeof end.reason - 1, texts.tooLong, static_cast<unsigned>(length),
              static_cast<unsigned>(longestCommandLine - 1));
    return false;
}

// A job that holds the process, and all it will start; null where none can be made (as on
// Windows 7, inside a job that allows no other), and then only the process is ended.
HANDLE jobHolding(HANDLE process)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr && !AssignProcessToJobObject(job, process)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Ends the child, with all it started when a job holds them, as taskkill /f ends a program.
void endChild(HANDLE process, HANDLE job)
{
    constexpr UINT ended = 1;
    if (job == nullptr || !TerminateJobObject(job, ended)) TerminateProcess(process, ended);
}

// Waits for the child to end within the limits, and ends it as soon as it passes one: the
// time limit as it comes, the memory at every look, every 10 ms. False when the wait fails.
bool waitWithin(HANDLE process, HANDLE job, const Limits& limits, LONGLONG created, Verdict& verdict)
{
    constexpr DWORD look = 10;
    bool watchMemory = limits.megabytes > 0;
    for (;;) {
        DWORD timeout = INFINITE;
        if (verdict == Verdict::none && limits.seconds > 0) {
            const double left = (limits.seconds - secondsSince(created)) * 1000;
            timeout = left <= 0 ? 0 : left >= 0xFFFFFFFE ? 0xFFFFFFFE : static_cast<DWORD>(left) + 1;
        }
        if (verdict == Verdict::none && watchMemory && timeout > look) timeout = look;
        const DWORD waited = WaitForSingleObject(process, timeout);
        if (waited == WAIT_OBJECT_0) return true;
        if (waited != WAIT_TIMEOUT) return false;
        if (watchMemory) {
            PROCESS_MEMORY_COUNTERS memory{};
            if (!K32GetProcessMemoryInfo(process, &memory, sizeof memory) || memory.PeakWorkingSetSize == 0) {
                // Never a verdict from a figure that was not read.
                say(Stream::err, "%s", texts.cannotMeasure);
                watchMemory = false;
            } else if (static_cast<double>(memory.PeakWorkingSetSize) / 1048576 > limits.megabytes) {
                verdict = Verdict::overMemory;
                endChild(process, job);
                continue;
            }
        }
        if (limits.seconds > 0 && secondsSince(created) >= limits.seconds) {
            verdict = Verdict::overTime;
            endChild(process, job);
        }
    }
}

}  // namespace

// Windows speaks the language of its own setup, and the launcher its own: only
// PIMBREL_LANG chooses.
const wchar_t* messagesLocale() { return nullptr; }

const wchar_t* setting(const char* name)
{
    wchar_t wide[64];
    std::size_t size = 0;
    for (; name[size] != '\0' && size + 1 < sizeof wide / sizeof *wide; ++size) wide[size] = static_cast<wchar_t>(name[size]);
    wide[size] = 0;
    return _wgetenv(wide);
}

bool prepareCommand(int count, wchar_t* const* arguments, Command& command)
{
    command = Command{count, arguments, nullptr, nullptr, false};
    command.program = static_cast<wchar_t*>(std::malloc(longestPath * sizeof(wchar_t)));
    if (command.program == nullptr) return false;
    if (findProgram(arguments[0], command.program)) {
        command.batch = isBatchFile(command.program);
    } else {
        std::free(command.program);
        command.program = nullptr;
    }
    command.line = command.batch ? composeForCmd(command.program, count, arguments) : composeCommandLine(count, arguments);
    if (command.line == nullptr) releaseCommand(command);
    return command.line != nullptr;
}

void releaseCommand(Command& command)
{
    std::free(command.line);
    std::free(command.program);
    command.line = command.program = nullptr;
}

ChildEnd runChild(Command& command, const Limits& limits)
{
    ChildEnd end{};
    Startable startable{};
    if (!readyToStart(command, startable, end)) return end;

    // With a limit, a job holds the child and all it starts, so that they end together: the
    // child is put in it before it runs its first instruction.
    const bool limited = limits.seconds > 0 || limits.megabytes > 0;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetConsoleCtrlHandler(outliveTheChild, TRUE);
    const LONGLONG created = now();
    const bool started = CreateProcessW(startable.program, startable.line, nullptr, nullptr, FALSE,
                                        limited ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    std::free(startable.owned);
    if (!started) {
        end = failedStart(error, command.arguments[0]);
        end.seconds = secondsSince(created);
        return end;
    }
    const HANDLE job = limited ? jobHolding(process.hProcess) : nullptr;
    if (limited) ResumeThread(process.hThread);

    DWORD exitCode = 0;
    const bool ended = (limited ? waitWithin(process.hProcess, job, limits, created, end.verdict)
                                : WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0) &&
                       GetExitCodeProcess(process.hProcess, &exitCode);
    const double ranFor = secondsSince(created);
    if (ended) {
        end.start = Start::ran;
        end.exitCode = static_cast<std::int32_t>(exitCode);
        describeStatus(exitCode, end.ending, sizeof end.ending);
        readCost(process.hProcess, end);
    } else {
        // The system's words for it, as for a start that failed.
        const Verdict verdict = end.verdict;
        end = failedStart(GetLastError(), command.arguments[0]);
        end.start = Start::lost;
        end.verdict = verdict;
    }
    end.seconds = ranFor;
    if (job != nullptr) CloseHandle(job);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return end;
}
