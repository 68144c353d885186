// The program on Windows: started with CreateProcessW in this console, held in a job with
// all it starts when its whole tree is followed, and reported as it ended. Arguments,
// command line and the system's messages stay UTF-16 all the way.

#include <cstdlib>
#include <cwchar>
#include <initializer_list>

#include <windows.h>
#include <psapi.h>

#include "../platform.h"
#include "internal.h"

// What the launcher knows of the program it runs.
struct Program {
    PROCESS_INFORMATION process;
    HANDLE job;         // holds the program and all it starts, when its tree is followed
    LONGLONG created;
    LONGLONG endSeen;
    bool ended;
    HANDLE output;      // its standard output, when it comes to the launcher: read overlapped
    OVERLAPPED reading;
    bool pending;       // a read of it is under way
};

namespace {

// One program runs at a time.
Program running;

// What its captured output is read into at a time: as much as its pipe holds.
constexpr DWORD pipeSize = 1 << 20;
char* outputRead = nullptr;

// A handle the program inherits, standing for the launcher's own, or null.
HANDLE inherited(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

// The digits of a number, written after `at`.
wchar_t* written(wchar_t* at, unsigned long number)
{
    wchar_t digits[12];
    int count = 0;
    do digits[count++] = static_cast<wchar_t>('0' + number % 10);
    while ((number /= 10) != 0);
    while (count > 0) *at++ = digits[--count];
    *at = 0;
    return at;
}

// A pipe for the program's output: named, as only a named pipe can be read overlapped, that
// is while the launcher waits for the program; its writing end for the program to inherit.
bool outputPipe(HANDLE& reading, HANDLE& writing)
{
    static unsigned long made = 0;
    wchar_t name[64] = L"\\\\.\\pipe\\pimbrel-";
    wchar_t* at = written(name + std::wcslen(name), GetCurrentProcessId());
    *at++ = '-';
    written(at, ++made);
    reading = CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                               PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, pipeSize, 0, nullptr);
    if (reading == INVALID_HANDLE_VALUE) return false;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    writing = CreateFileW(name, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writing != INVALID_HANDLE_VALUE) return true;
    CloseHandle(reading);
    return false;
}

// Lets the output go: at its end, or with the program; a read still under way is called off
// first, so that it writes into nothing after.
void closeOutput(Program& program)
{
    if (program.output != nullptr) {
        DWORD got = 0;
        if (program.pending && CancelIo(program.output)) GetOverlappedResult(program.output, &program.reading, &got, TRUE);
        CloseHandle(program.output);
    }
    if (program.reading.hEvent != nullptr) CloseHandle(program.reading.hEvent);
    program.output = program.reading.hEvent = nullptr;
    program.pending = false;
}

// Asks for the next piece of the output, unless a read is under way or it has ended.
void readNext(Program& program)
{
    if (program.output == nullptr || program.pending) return;
    ResetEvent(program.reading.hEvent);
    if (ReadFile(program.output, outputRead, pipeSize, nullptr, &program.reading) || GetLastError() == ERROR_IO_PENDING) {
        program.pending = true;
    } else {
        closeOutput(program);  // its end: everything that could write it has ended
    }
}

// Ctrl-C and Ctrl-Break while the child runs are the child's to act on; the launcher stays
// to report how it ended. Child processes do not inherit a handler routine, so unlike
// SetConsoleCtrlHandler(NULL, TRUE) this leaves the child's own Ctrl-C as it would be.
// Each process gets the event on a thread of its own, so the one that ended the child can
// reach the launcher after the wait is over: the handler stays until the launcher ends.
BOOL WINAPI outliveTheChild(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

LONGLONG now()
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

double secondsBetween(LONGLONG start, LONGLONG end)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end - start) / static_cast<double>(frequency.QuadPart);
}

double seconds(LONGLONG hundredsOfNanoseconds) { return static_cast<double>(hundredsOfNanoseconds) / 1e7; }

double seconds(const FILETIME& time)
{
    return seconds(static_cast<LONGLONG>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime));
}

constexpr double mebibyte = 1048576;

// A job that holds the process, and all it will start, and ends them all when the launcher
// ends, however it ends (an IDE's stop button kills the launcher). Null where none can be
// made (as on Windows 7, inside a job that allows no other): then only the process is
// followed.
HANDLE jobHolding(HANDLE process)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, process)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// The memory a process holds now and the most it held, in bytes; false when it cannot be
// told (gone, or not ours to read).
bool memoryOf(HANDLE process, double& resident, double& highest)
{
    PROCESS_MEMORY_COUNTERS memory{};
    if (!K32GetProcessMemoryInfo(process, &memory, sizeof memory) || memory.PeakWorkingSetSize == 0) return false;
    resident = static_cast<double>(memory.WorkingSetSize);
    highest = static_cast<double>(memory.PeakWorkingSetSize);
    return true;
}

// Calls `each(id)` for every process in the job, however many there are.
template <typename Each>
void forEachProcessIn(HANDLE job, Each each)
{
    // Room for a few hundred; more are asked for when they are there.
    DWORD room = 256;
    for (;;) {
        const DWORD size = sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + room * sizeof(ULONG_PTR);
        auto* const list = static_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(std::malloc(size));
        if (list == nullptr) return;
        const bool read = QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, size, nullptr) != 0 ||
                          GetLastError() == ERROR_MORE_DATA;
        if (read && list->NumberOfProcessIdsInList < list->NumberOfAssignedProcesses && room < 65536) {
            room = list->NumberOfAssignedProcesses + 16;
            std::free(list);
            continue;
        }
        // The list is declared with room for one: read it through a pointer of its own, as
        // a compiler may take an index past the first of the declared array for none.
        const ULONG_PTR* const ids = list->ProcessIdList;
        for (DWORD i = 0; read && i < list->NumberOfProcessIdsInList; ++i) each(static_cast<DWORD>(ids[i]));
        std::free(list);
        return;
    }
}

}  // namespace

Started startProgram(Command& command, bool wholeTree, const Plumbing& plumbing)
{
    Started started{};
    windows::Startable startable{};
    if (!windows::readyToStart(command, startable, started)) return started;

    Program& program = running;
    program = Program{};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // A program whose input or output the launcher changes is given all three, each one it
    // inherits: the file, the pipe, or the launcher's own.
    HANDLE writing = nullptr;
    const bool plumbed = plumbing.input != nullptr || plumbing.captureOutput;
    if (plumbed) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        startup.hStdInput = plumbing.input != nullptr
                                ? CreateFileW(plumbing.input, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                : inherited(GetStdHandle(STD_INPUT_HANDLE));
        if (startup.hStdInput == INVALID_HANDLE_VALUE) startup.hStdInput = nullptr;
        if (plumbing.captureOutput && outputRead == nullptr) outputRead = static_cast<char*>(std::malloc(pipeSize));
    if (plumbing.captureOutput && outputRead != nullptr && outputPipe(program.output, writing)) {
            startup.hStdOutput = writing;
            program.reading.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        } else {
            startup.hStdOutput = inherited(GetStdHandle(STD_OUTPUT_HANDLE));
        }
        startup.hStdError = inherited(GetStdHandle(STD_ERROR_HANDLE));
    }
    // With its tree followed, the program is put in its job before it runs its first
    // instruction, so that nothing it starts escapes it.
    SetConsoleCtrlHandler(outliveTheChild, TRUE);
    program.created = now();
    const bool created = CreateProcessW(startable.program, startable.line, nullptr, nullptr, plumbed ? TRUE : FALSE,
                                        wholeTree ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &program.process);
    const DWORD error = GetLastError();
    std::free(startable.owned);
    // The program has its own copies now: the pipe ends when the program and all it
    // started have ended.
    for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        if (handle != nullptr) CloseHandle(handle);
    }
    if (!created) {
        closeOutput(program);
        started.start = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Start::notFound
                                                                                       : Start::notRunnable;
        started.reason = static_cast<int>(error);
        started.seconds = secondsBetween(program.created, now());
        return started;
    }
    if (wholeTree) {
        program.job = jobHolding(program.process.hProcess);
        ResumeThread(program.process.hThread);
    }
    started.start = Start::ran;
    started.program = &program;
    return started;
}

double secondsRunning(const Program& program)
{
    return secondsBetween(program.created, program.ended ? program.endSeen : now());
}

Awaited awaitProgram(Program& program, double until, int& reason)
{
    DWORD timeout = INFINITE;
    if (until >= 0) {
        const double left = (until - secondsRunning(program)) * 1000;
        timeout = left <= 0 ? 0 : left >= 0xFFFFFFFE ? 0xFFFFFFFE : static_cast<DWORD>(left) + 1;
    }
    readNext(program);
    const HANDLE waits[] = {program.process.hProcess, program.reading.hEvent};
    const DWORD waited = WaitForMultipleObjects(program.output != nullptr ? 2 : 1, waits, FALSE, timeout);
    if (waited == WAIT_TIMEOUT) return Awaited::timedOut;
    if (waited == WAIT_OBJECT_0 + 1) return Awaited::output;
    if (waited != WAIT_OBJECT_0) {
        reason = static_cast<int>(GetLastError());
        return Awaited::lost;
    }
    program.ended = true;
    program.endSeen = now();
    return Awaited::ended;
}

std::ptrdiff_t readOutput(Program& program, const char*& bytes, bool wait)
{
    bytes = outputRead;
    for (;;) {
        readNext(program);
        if (program.output == nullptr) return 0;
        DWORD got = 0;
        if (!GetOverlappedResult(program.output, &program.reading, &got, wait ? TRUE : FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE) return -1;
            program.pending = false;
            closeOutput(program);
            return 0;
        }
        program.pending = false;
        if (got > 0) return static_cast<std::ptrdiff_t>(got);
    }
}

double treeMegabytes(Program& program)
{
    double sum = 0, highest = 0;
    bool known = false;
    const auto add = [&](HANDLE process) {
        double resident = 0, mark = 0;
        if (!memoryOf(process, resident, mark)) return;
        known = true;
        sum += resident;
        if (mark > highest) highest = mark;
    };
    if (program.job == nullptr) {
        add(program.process.hProcess);
    } else {
        forEachProcessIn(program.job, [&add](DWORD id) {
            const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, id);
            if (process == nullptr) return;
            add(process);
            CloseHandle(process);
        });
    }
    if (!known) return -1;
    return (sum > highest ? sum : highest) / mebibyte;
}

// Ends the program, with all it started when a job holds them, as taskkill /f ends a program.
void endTree(Program& program)
{
    constexpr UINT ended = 1;
    if (program.job == nullptr || !TerminateJobObject(program.job, ended)) {
        TerminateProcess(program.process.hProcess, ended);
    }
}

Ending finishProgram(Program* ran)
{
    Program& program = *ran;
    // The console as found, whatever the program left in it (black on black, chcp 65001):
    // the report reads as it should.
    windows::restoreConsole();
    Ending ending{};
    ending.cpuSeconds = ending.peakMegabytes = -1;
    DWORD exitCode = 0;
    if (program.ended && GetExitCodeProcess(program.process.hProcess, &exitCode)) {
        ending.exitCode = static_cast<std::int32_t>(exitCode);
        // What the run cost, read before the handles are closed: the job's own count of
        // all its processes' time, where there is a job; what the system cannot give stays
        // below 0. No program runs in no memory at all.
        FILETIME created{}, exited{}, kernel{}, user{};
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (program.job != nullptr && QueryInformationJobObject(program.job, JobObjectBasicAccountingInformation,
                                                                &accounting, sizeof accounting, nullptr)) {
            ending.cpuSeconds = seconds(accounting.TotalUserTime.QuadPart + accounting.TotalKernelTime.QuadPart);
        } else if (GetProcessTimes(program.process.hProcess, &created, &exited, &kernel, &user)) {
            ending.cpuSeconds = seconds(kernel) + seconds(user);
        }
        double resident = 0, highest = 0;
        if (memoryOf(program.process.hProcess, resident, highest)) ending.peakMegabytes = highest / mebibyte;
    }
    closeOutput(program);
    if (program.job != nullptr) CloseHandle(program.job);
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
    return ending;
}
