// The child on Windows: started with CreateProcessW in this console, held in a job when it
// has limits, and reported as it ended. Arguments, command line and the system's messages
// stay UTF-16 all the way.

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>
#include <psapi.h>

#include "../platform.h"
#include "../texts.h"
#include "internal.h"

namespace {

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

ChildEnd windows::failedStart(DWORD error, const wchar_t* program)
{
    ChildEnd end{};
    end.start = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Start::notFound
                                                                               : Start::notRunnable;
    wchar_t message[256];
    if (!windows::systemMessage(error, message, sizeof message / sizeof *message)) {
        _snprintf(end.reason, sizeof end.reason - 1, "error %lu", static_cast<unsigned long>(error));
        return end;
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

ChildEnd runChild(Command& command, const Limits& limits)
{
    ChildEnd end{};
    windows::Startable startable{};
    if (!windows::readyToStart(command, startable, end)) return end;

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
        end = windows::failedStart(error, command.arguments[0]);
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
    windows::restoreConsole();  // the console as found, whatever the child left: before the report
    if (ended) {
        end.start = Start::ran;
        end.exitCode = static_cast<std::int32_t>(exitCode);
        describeStatus(exitCode, end.ending, sizeof end.ending);
        readCost(process.hProcess, end);
    } else {
        // The system's words for it, as for a start that failed.
        const Verdict verdict = end.verdict;
        end = windows::failedStart(GetLastError(), command.arguments[0]);
        end.start = Start::lost;
        end.verdict = verdict;
    }
    end.seconds = ranFor;
    if (job != nullptr) CloseHandle(job);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return end;
}
