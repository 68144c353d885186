// The program on POSIX systems: started with the launcher's own arguments, in the
// launcher's own process group, followed as a shell follows its job (its stops, its hold
// on the terminal) in one loop that takes every signal synchronously, and reported as it
// ended.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "../platform.h"
#include "internal.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX asks us to declare it

using posix::terminal;

// What the launcher knows of the program it runs.
struct Program {
    pid_t child;
    bool wholeTree;          // everything it starts is followed, and ended with it
    timespec started;
    timespec endSeen;
    bool ended;              // its end has been seen (and it has been reaped)
    bool foreground;         // the launcher was the terminal's foreground job as it ran
    bool modesKnown;
    termios found;           // the terminal's modes before the run, when ours to know
    int status;
    double cpuSeconds;       // of all that was reaped: the program and what the launcher adopted
    long peakKibibytes;      // the highest mark the system kept of any of them
    bool askedToEnd;
    int signals;             // the signals taken while it runs, to read
    int output;              // its standard output, when it comes to the launcher; else -1
    char* read;              // what that output is read into, `size` bytes
    std::size_t size;
};

namespace {

// One program runs at a time.
Program running;

// What a captured output is read into at a time: as much as its pipe holds, so that a
// program that writes fast never waits for the launcher to read.
constexpr int pipeSize = 1 << 20;

timespec now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time;
}

double secondsBetween(const timespec& start, const timespec& end)
{
    return static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
}

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

bool isExecutableFile(const char* file)
{
    struct stat found {};
    return stat(file, &found) == 0 && S_ISREG(found.st_mode) && access(file, X_OK) == 0;
}

// Where a program named without a slash is found, as posix_spawnp finds it: the first
// executable file of that name on the PATH.
std::string onPath(const char* name)
{
    if (std::strchr(name, '/') != nullptr) return name;
    const char* const path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/bin:/usr/bin";
    for (;;) {
        const std::size_t end = std::min(folders.find(':'), folders.size());
        std::string file(end == 0 ? "." : folders.substr(0, end));
        file.append("/").append(name);
        if (isExecutableFile(file.c_str())) return file;
        if (end == folders.size()) return name;
        folders.remove_prefix(end + 1);
    }
}

// The first bytes of a file, as many as fit; below 0 when it cannot be read.
ssize_t firstBytes(const char* file, char* into, std::size_t size)
{
    const int descriptor = open(file, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;
    const ssize_t got = read(descriptor, into, size);
    close(descriptor);
    return got;
}

// Whether a file the system will not run is a script of commands, as the shells decide: a
// binary (an object file, a program for another machine) has a NUL byte in its first line.
bool looksLikeText(const char* file)
{
    char sample[80];
    const ssize_t got = firstBytes(file, sample, sizeof sample);
    if (got < 0) return false;
    const char* const start = sample;
    const char* const firstLine = std::find(start, start + got, '\n');
    return std::find(start, firstLine, '\0') == firstLine;
}

// What the system's "no such file" was about, when it was not the program: a program that
// is there says so too when a file it needs is not, the interpreter its "#!" line names (as
// the system reads it: after any blanks, up to a blank or the line's end) or the loader a
// program built elsewhere names. A program named without a folder is looked for on PATH
// alone, not in the current folder, where the user may have meant it.
Missing whatWasMissing(const char* name)
try {
    Missing missing{};
    const std::string file = onPath(name);
    if (file.find('/') == std::string::npos) {
        missing.inCurrentFolder = isExecutableFile(("./" + file).c_str());
        return missing;
    }
    struct stat found {};
    if (stat(file.c_str(), &found) != 0 || !S_ISREG(found.st_mode)) return missing;
    missing.neededFile = true;
    char line[sizeof missing.interpreter];
    const ssize_t got = firstBytes(file.c_str(), line, sizeof line - 1);
    if (got < 2 || line[0] != '#' || line[1] != '!') return missing;
    line[got] = '\0';
    const char* const interpreter = line + 2 + std::strspn(line + 2, " \t");
    const std::size_t length = std::strcspn(interpreter, " \t\n");
    // One that is there is missing a file of its own: its loader, say.
    if (length == 0 || stat(std::string(interpreter, length).c_str(), &found) == 0) return missing;
    std::memcpy(missing.interpreter, interpreter, length);
    return missing;
} catch (const std::bad_alloc&) {
    return {};
}

// posix_spawnp with the launcher's own arguments: the command line splits back into exactly
// these, so they are what the child's C runtime would read from it. Returns 0 or the reason
// it could not start. The clock starts right before the child is created, with all the
// launcher's own work done.
int spawn(const Command& command, const posix_spawn_file_actions_t* actions, const posix_spawnattr_t* attributes,
          pid_t* child, timespec* started)
try {
    char* const* const arguments = command.arguments;  // ends with a null, as main's do
    *started = now();
    int error = posix_spawnp(child, arguments[0], actions, attributes, arguments, environ);
    // A file of commands without "#!" is a script for sh, to execvp, env and the shells alike.
    // A folder is no program: said so, as the shells say it.
    if (error == EACCES) {
        struct stat found {};
        if (stat(onPath(arguments[0]).c_str(), &found) == 0 && S_ISDIR(found.st_mode)) return EISDIR;
    }
    if (error == ENOEXEC) {
        std::string script = onPath(arguments[0]);
        if (!looksLikeText(script.c_str())) return ENOEXEC;
        char shell[] = "/bin/sh";
        std::vector<char*> argv{shell, script.data()};
        argv.insert(argv.end(), arguments + 1, arguments + command.count + 1);
        error = posix_spawn(child, shell, actions, attributes, argv.data(), environ);
    }
    return error;
} catch (const std::bad_alloc&) {
    return ENOMEM;
}

// Whether a shell with job control watches the launcher's job, to show it stopped and to
// continue it: a process of our session but not of our group is the parent of the group's
// first process. Without one (an IDE's pipes, a window of its own), a launcher that
// stopped would never be continued.
bool watchedByAShell()
{
    const pid_t group = getpgrp();
    for (pid_t process = getpid(); process > 1;) {
        const pid_t parent = posix::parentOf(process);
        if (parent <= 0) return false;
        if (getpgid(parent) != group) return getsid(parent) == getsid(0);
        process = parent;
    }
    return false;
}

// The program stopped (Ctrl-Z, or a stop it sent itself). Under a shell with job control
// the launcher stops with it, with the terminal as it was found, so that the shell shows
// the job stopped and takes the terminal back, as sudo does; continued (fg), it gives the
// program the terminal as the program had it, and continues it. Elsewhere the program
// stays stopped until it is continued or asked to end.
void followStop(Program& program, int signal)
{
    if (!watchedByAShell()) return;
    // A program with job control of its own (a shell) may hold the terminal with a group of
    // its own: it gets it back when the job is in the foreground again.
    const bool programHeld = posix::heldByProgram(program.child);
    const pid_t holder = programHeld ? tcgetpgrp(terminal) : 0;
    termios programs{};
    const bool programsKnown = (programHeld || posix::inForeground()) && tcgetattr(terminal, &programs) == 0;
    if (programHeld) posix::giveTerminal(getpgrp());
    if (program.modesKnown) posix::restoreModes(program.found);

    posix::undergo(signal);

    if (posix::inForeground()) {
        program.foreground = true;
        if (programsKnown) tcsetattr(terminal, TCSADRAIN, &programs);
        if (holder > 0 && kill(-holder, 0) == 0) posix::giveTerminal(holder);
    }
    kill(program.child, SIGCONT);
}

// Counts what a reaped process cost: the system adds to each the processes it reaped itself.
void count(Program& program, const rusage& usage)
{
    program.cpuSeconds += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    program.peakKibibytes = std::max(program.peakKibibytes, usage.ru_maxrss);
}

// Takes every change of the launcher's children that has come: the program's stops, which
// it follows, and its end; and the end of what it left behind, which it adopted. False when
// the system no longer tells how the program is (errno says why).
bool reap(Program& program)
{
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t pid = wait4(-1, &status, WNOHANG | WUNTRACED, &usage);
        if (pid < 0 && errno == EINTR) continue;
        if (pid < 0) return errno == ECHILD && program.ended;
        if (pid == 0) return true;
        if (WIFSTOPPED(status)) {
            if (pid == program.child) followStop(program, WSTOPSIG(status));
            continue;
        }
        count(program, usage);
        if (pid != program.child) continue;
        program.status = status;
        program.ended = true;
        program.endSeen = now();
    }
}

// Waits for every process the launcher adopted: all it started is gone, and counted.
void reapAll(Program& program)
{
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t pid = wait4(-1, &status, 0, &usage);
        if (pid < 0 && errno == EINTR) continue;
        if (pid < 0) return;
        count(program, usage);
    }
}

}  // namespace

bool prepareCommand(int count, char* const* arguments, Command& command)
{
    // The line is only the reader's: it is composed as it is written.
    command = Command{count, arguments, nullptr, nullptr, false};
    return true;
}

void releaseCommand(Command&) {}

Started startProgram(Command& command, bool wholeTree, const Plumbing& plumbing)
{
    Started started{};
    // Asked to end while the running line was written: nothing is started.
    if (const int signal = posix::pendingEndRequest(); signal != 0) {
        started.start = Start::endAsked;
        started.reason = signal;
        return started;
    }

    // Ctrl-C, Ctrl-\ and Ctrl-Z are for the program while it runs, as under system(); the
    // program starts with every signal as we were given it, in our process group, so that
    // the terminal and the shell see it as the job it is part of.
    Program& program = running;
    program = Program{};
    program.output = -1;
    program.signals = posix::holdRunSignals();
    program.wholeTree = wholeTree;
    // A program that dies of a signal cannot put back what it did to the terminal: as the
    // shells do, we put back the modes it had before the program ran.
    program.foreground = posix::inForeground();
    program.modesKnown = program.foreground && tcgetattr(terminal, &program.found) == 0;
    if (wholeTree) posix::adoptOrphans(true);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    const sigset_t defaults = posix::programDefaults();
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &posix::programMask());
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (plumbing.input != nullptr) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, plumbing.input, O_RDONLY, 0);
    int ends[2] = {-1, -1};
    // Read as much as the pipe holds at a time, or less where memory is short.
    for (program.size = pipeSize; plumbing.captureOutput && program.read == nullptr && program.size >= 4096;) {
        program.read = static_cast<char*>(std::malloc(program.size));
        if (program.read == nullptr) program.size /= 4;
    }
    if (program.read != nullptr && pipe2(ends, O_CLOEXEC) == 0) {
        fcntl(ends[0], F_SETPIPE_SZ, static_cast<int>(program.size));
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    }
    program.started = now();
    const int error = spawn(command, &actions, &attributes, &program.child, &program.started);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (ends[1] >= 0) close(ends[1]);
    if (error == 0) {
        program.output = ends[0];
        started.start = Start::ran;
        started.program = &program;
        return started;
    }
    if (ends[0] >= 0) close(ends[0]);
    std::free(program.read);
    if (wholeTree) posix::adoptOrphans(false);
    posix::releaseRunSignals(program.signals);
    started.seconds = secondsBetween(program.started, now());
    started.start = error == ENOENT ? Start::notFound : Start::notRunnable;
    started.reason = error;
    if (error == ENOENT) started.missing = whatWasMissing(command.arguments[0]);
    return started;
}

double secondsRunning(const Program& program)
{
    return secondsBetween(program.started, program.ended ? program.endSeen : now());
}

Awaited awaitProgram(Program& program, double until, int& reason)
{
    for (;;) {
        if (program.ended) return Awaited::ended;
        timespec timeout{};
        if (until >= 0) {
            const double left = std::max(until - secondsRunning(program), 0.0);
            const auto whole = static_cast<time_t>(left);
            timeout = {whole, static_cast<long>((left - static_cast<double>(whole)) * 1e9)};
        }
        pollfd ready[] = {{program.signals, POLLIN, 0}, {program.output, POLLIN, 0}};
        const int events = ppoll(ready, program.output >= 0 ? 2 : 1, until >= 0 ? &timeout : nullptr, nullptr);
        if (events < 0 && errno == EINTR) continue;
        if (events < 0) {
            reason = errno;
            return Awaited::lost;
        }
        if (events == 0) return Awaited::timedOut;
        int signal = 0;
        for (posix::Request request; (request = posix::nextRequest(program.signals, signal)) != posix::Request::none;) {
            if (request == posix::Request::childChanged && !reap(program)) {
                reason = errno;
                return Awaited::lost;
            }
            // Once the program has been reaped, its number may be another's: nothing more is
            // sent to it, and a request to end is the launcher's alone.
            if (request == posix::Request::end) {
                program.askedToEnd = true;
                if (!program.ended) posix::passOnEnd(program.child, signal);
            }
            // A stop sent to the launcher alone is the program's; the launcher stops once the
            // program has.
            if (request == posix::Request::stop && !program.ended) kill(program.child, signal);
        }
        if (!program.ended && ready[1].revents != 0) return Awaited::output;
    }
}

std::ptrdiff_t readOutput(Program& program, const char*& bytes, bool wait)
{
    bytes = program.read;
    for (;;) {
        if (program.output < 0) return 0;
        const ssize_t got = read(program.output, program.read, program.size);
        if (got > 0) return got;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) {
            if (!wait) return -1;
            pollfd ready{program.output, POLLIN, 0};
            poll(&ready, 1, -1);
            continue;
        }
        // Its end, once everything that could write it has ended.
        close(program.output);
        program.output = -1;
        return 0;
    }
}

double treeMegabytes(Program&) { return posix::descendantsMegabytes(); }

void endTree(Program&) { posix::killDescendants(); }

Ending finishProgram(Program* ran)
{
    Program& program = *ran;
    // What the program left is reaped and counted: all it started is gone.
    if (program.wholeTree) {
        reapAll(program);
        posix::adoptOrphans(false);
    }
    if (program.output >= 0) close(program.output);
    program.output = -1;
    std::free(program.read);
    program.read = nullptr;
    // A program that made its own group the terminal's foreground (a shell, say) and ended
    // leaves it to nobody: as a shell does when its job ends, we take it back.
    if (program.foreground && posix::heldByProgram(program.child)) posix::giveTerminal(getpgrp());
    posix::releaseRunSignals(program.signals);

    Ending ending{};
    ending.askedToEnd = program.askedToEnd;
    ending.cpuSeconds = -1;
    ending.peakMegabytes = -1;
    if (!program.ended) return ending;
    const int status = program.status;
    // A program killed by a signal ends as the shells report it: 128 + the signal.
    ending.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        ending.signal = WTERMSIG(status);
        ending.coreDumped = WCOREDUMP(status);
        if (program.modesKnown) posix::restoreModes(program.found);
    }
    ending.cpuSeconds = program.cpuSeconds;
    // Linux counts it in KiB; no program that ran takes none.
    if (program.peakKibibytes > 0) ending.peakMegabytes = static_cast<double>(program.peakKibibytes) / 1024;
    return ending;
}
