// The child on POSIX systems: started with the launcher's own arguments, followed as a
// shell follows its job (its stops, its hold on the terminal), and reported as it ended.

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "../compose.h"
#include "../platform.h"
#include "../texts.h"
#include "internal.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX asks us to declare it

namespace {

using posix::terminal;

// Adds to a line of the launcher's own, as much as fits.
void append(char* line, std::size_t size, const char* format, ...)
{
    const std::size_t used = std::strlen(line);
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(line + used, size - used, format, figures);
    va_end(figures);
}

// How a child that a signal killed ended: the signal's number and name, and what it means
// to one who is learning, where that can be said.
void describeSignal(int signal, bool coreDumped, char* line, std::size_t size)
{
    const char* const abbreviation = sigabbrev_np(signal);
    if (abbreviation == nullptr) {
        append(line, size, texts.killedByUnnamed, signal);
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "SIG%s", abbreviation);
        append(line, size, texts.killedBy, signal, name);
        for (const SignalWords& known : texts.signalWords) {
            if (std::strcmp(known.name, name) != 0) continue;
            append(line, size, texts.words, known.words);
            break;
        }
    }
    if (coreDumped) append(line, size, "%s", texts.coreDumped);
}

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

ChildEnd failedStart(int error)
{
    ChildEnd end{};
    end.start = error == ENOENT ? Start::notFound : Start::notRunnable;
    std::snprintf(end.reason, sizeof end.reason, "%s", posix::reasonWords(error));
    return end;
}

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
        struct stat found {};
        if (stat(file.c_str(), &found) == 0 && S_ISREG(found.st_mode) && access(file.c_str(), X_OK) == 0) return file;
        if (end == folders.size()) return name;
        folders.remove_prefix(end + 1);
    }
}

// Whether a file the system will not run is a script of commands, as the shells decide: a
// binary (an object file, a program for another machine) has a NUL byte in its first line.
bool looksLikeText(const char* file)
{
    const int descriptor = open(file, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    char sample[80];
    const ssize_t got = read(descriptor, sample, sizeof sample);
    close(descriptor);
    if (got < 0) return false;
    const char* const start = sample;
    const char* const firstLine = std::find(start, start + got, '\n');
    return std::find(start, firstLine, '\0') == firstLine;
}

// posix_spawnp with the launcher's own arguments: the command line splits back into exactly
// these, so they are what the child's C runtime would read from it. Returns 0 or the reason
// it could not start. The clock starts right before the child is created, with all the
// launcher's own work done.
int spawn(const Command& command, const posix_spawnattr_t* attributes, const posix_spawn_file_actions_t* actions,
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

// The parent of a process, as /proc tells it; 0 when it cannot be told.
pid_t parentOf(pid_t process)
{
    if (process == getpid()) return getppid();
    char name[32];
    std::snprintf(name, sizeof name, "/proc/%d/stat", static_cast<int>(process));
    const int descriptor = open(name, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return 0;
    char stat[512];
    const ssize_t got = read(descriptor, stat, sizeof stat - 1);
    close(descriptor);
    stat[got > 0 ? got : 0] = '\0';
    // After the name, which may hold anything: the state, then the parent.
    const char* const nameEnd = std::strrchr(stat, ')');
    int parent = 0;
    return nameEnd != nullptr && std::sscanf(nameEnd + 1, " %*c %d", &parent) == 1 ? parent : 0;
}

// Whether a shell with job control watches the launcher's job, to show it stopped and to
// continue it: a process of our session but not of our group is the parent of the group's
// first process. Without one (an IDE's pipes, a window of its own), a launcher that
// stopped would never be continued.
bool watchedByAShell()
{
    const pid_t group = getpgrp();
    for (pid_t process = getpid(); process > 1;) {
        const pid_t parent = parentOf(process);
        if (parent <= 0) return false;
        if (getpgid(parent) != group) return getsid(parent) == getsid(0);
        process = parent;
    }
    return false;
}

// What the launcher knows of a child it runs.
struct Run {
    pid_t child = 0;
    timespec started{};
    bool foreground = false;         // the launcher was the terminal's foreground job as it ran
    const termios* found = nullptr;  // the terminal's modes before the run, when ours to know
    int status = 0;
    rusage usage{};
    Verdict verdict = Verdict::none;
};

// The program stopped (Ctrl-Z, or a stop it sent itself). Under a shell with job control
// the launcher stops with it, with the terminal as it was found, so that the shell shows
// the job stopped and takes the terminal back, as sudo does; continued (fg), it gives the
// program the terminal as the program had it, and continues it. Elsewhere the program
// stays stopped until it is continued or asked to end.
void followStop(Run& run, int signal)
{
    if (!watchedByAShell()) return;
    // The group to give the terminal to when the job is in the foreground again: the one
    // that holds it now, or the program's own job under a limit.
    const bool programHeld = posix::heldByProgram(run.child);
    const pid_t holder = programHeld ? tcgetpgrp(terminal) : posix::childGroup;
    termios programs{};
    const bool programsKnown = (programHeld || posix::inForeground()) && tcgetattr(terminal, &programs) == 0;
    if (programHeld) posix::giveTerminal(getpgrp());
    if (run.found != nullptr) posix::restoreModes(*run.found);

    posix::undergo(signal);

    if (posix::inForeground()) {
        run.foreground = true;
        if (programsKnown) tcsetattr(terminal, TCSADRAIN, &programs);
        if (holder > 0 && kill(-holder, 0) == 0) posix::giveTerminal(holder);
    }
    posix::signalChild(SIGCONT);
}

// Waits for the child to end, following it through its stops. The child's end and its
// stops are seen at once; `options` may ask for the wait to return if there is neither.
pid_t waitForChild(Run& run, int options = 0)
{
    for (;;) {
        const pid_t waited = wait4(run.child, &run.status, options | WUNTRACED, &run.usage);
        if (waited < 0 && errno == EINTR) continue;
        if (waited != run.child || !WIFSTOPPED(run.status)) return waited;
        followStop(run, WSTOPSIG(run.status));
    }
}

// The child's peak resident memory so far, in MiB, as /proc tells it; below 0 when it
// cannot be told (no /proc, or a child that has just ended).
double peakMegabytesOf(pid_t child)
{
    char name[32];
    std::snprintf(name, sizeof name, "/proc/%d/status", static_cast<int>(child));
    const int descriptor = open(name, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;
    char status[4096];
    const ssize_t got = read(descriptor, status, sizeof status - 1);
    close(descriptor);
    status[got > 0 ? got : 0] = '\0';
    const char* const peak = std::strstr(status, "\nVmHWM:");
    const long kibibytes = peak != nullptr ? std::strtol(peak + 7, nullptr, 10) : 0;
    return kibibytes > 0 ? static_cast<double>(kibibytes) / 1024 : -1;
}

// Sleeps until the child ends or stops (SIGCHLD, held back for this), a signal comes, or
// the seconds have passed (none below 0).
void awaitChild(double seconds)
{
    sigset_t childChanged;
    sigemptyset(&childChanged);
    sigaddset(&childChanged, SIGCHLD);
    const auto whole = static_cast<time_t>(seconds);
    const timespec timeout{whole, static_cast<long>((seconds - static_cast<double>(whole)) * 1e9)};
    sigtimedwait(&childChanged, nullptr, seconds >= 0 ? &timeout : nullptr);
}

// Waits for the child to end within the limits, and ends it, and everything in its process
// group, as soon as it passes one: the time limit as it comes, the memory at every look,
// every 10 ms. SIGKILL, so that no handler of the program's can hold it.
pid_t waitWithin(Run& run, const Limits& limits)
{
    constexpr double look = 0.010;
    bool watchMemory = limits.megabytes > 0, unreadable = false;
    for (;;) {
        const pid_t waited = waitForChild(run, run.verdict == Verdict::none ? WNOHANG : 0);
        if (waited != 0) return waited;
        if (watchMemory) {
            const double peak = peakMegabytesOf(run.child);
            // Unread while the child is known to live, not just ended: looked at again
            // once the wait has said it lives.
            if (peak < 0 && !unreadable) {
                unreadable = true;
                continue;
            }
            unreadable = false;
            if (peak < 0) {
                say(Stream::err, "%s", texts.cannotMeasure);
                watchMemory = false;
            } else if (peak > limits.megabytes) {
                run.verdict = Verdict::overMemory;
                posix::signalChild(SIGKILL);
                continue;
            }
        }
        const double left = limits.seconds - secondsBetween(run.started, now());
        if (limits.seconds > 0 && left <= 0) {
            run.verdict = Verdict::overTime;
            posix::signalChild(SIGKILL);
            continue;
        }
        awaitChild(watchMemory ? std::min(look, limits.seconds > 0 ? left : look) : limits.seconds > 0 ? left : -1);
    }
}

}  // namespace

bool prepareCommand(int count, char* const* arguments, Command& command)
{
    command = Command{count, arguments, composeCommandLine(count, arguments), nullptr, false};
    return command.line != nullptr;
}

void releaseCommand(Command& command)
{
    std::free(command.line);
    command.line = nullptr;
}

ChildEnd runChild(Command& command, const Limits& limits)
{
    // Ctrl-C, Ctrl-\ and Ctrl-Z are for the child while it runs, as under system(); the
    // child starts with every signal as we were given it. With a limit, the child's end
    // is awaited as SIGCHLD, held back until then.
    const bool limited = limits.seconds > 0 || limits.megabytes > 0;
    const posix::ChildSignals childSignals;
    sigset_t held = posix::runSignals();
    if (limited) sigaddset(&held, SIGCHLD);
    sigset_t mask;
    sigprocmask(SIG_BLOCK, &held, &mask);
    if (posix::endRequested != 0) {
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        ChildEnd end{};
        end.start = Start::endAsked;
        end.exitCode = 128 + posix::endRequested;
        return end;
    }

    // A program that dies of a signal cannot put back what it did to the terminal: as the
    // shells do, we put back the modes it had before the program ran.
    termios modes{};
    const bool foreground = posix::inForeground();
    const bool modesKnown = foreground && tcgetattr(terminal, &modes) == 0;

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    const sigset_t defaults = posix::childDefaults();
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &mask);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    // With a limit, the child runs in a process group of its own, as a shell runs a job, so
    // that it ends with everything it started: the terminal's foreground while it runs, when
    // it is ours to give.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (limited) {
        flags |= POSIX_SPAWN_SETPGROUP;
        if (foreground) posix_spawn_file_actions_addtcsetpgrp_np(&actions, terminal);
    }
    posix_spawnattr_setflags(&attributes, flags);

    Run run;
    run.foreground = foreground;
    run.found = modesKnown ? &modes : nullptr;
    run.started = now();
    const int error = spawn(command, &attributes, &actions, &run.child, &run.started);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error == 0) {
        posix::runningChild = run.child;
        posix::childGroup = limited ? run.child : 0;
    }
    sigset_t running = mask;
    if (limited) sigaddset(&running, SIGCHLD);
    sigprocmask(SIG_SETMASK, &running, nullptr);

    ChildEnd end{};
    if (error != 0) {
        end = failedStart(error);
    } else if ((limited ? waitWithin(run, limits) : waitForChild(run)) < 0) {
        end.start = Start::lost;
        std::snprintf(end.reason, sizeof end.reason, "%s", posix::reasonWords(errno));
    } else {
        end.start = Start::ran;
    }
    end.seconds = secondsBetween(run.started, now());
    posix::runningChild = 0;
    posix::childGroup = 0;
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    if (end.start != Start::ran) return end;

    // A program that made its own group the terminal's foreground (a shell, say), or that
    // we gave it to, and ended leaves it to nobody: as a shell does when its job ends, we
    // take it back.
    if (run.foreground && posix::heldByProgram(run.child)) posix::giveTerminal(getpgrp());

    const int status = run.status;
    end.verdict = run.verdict;
    // A child killed by a signal ends as the shells report it: 128 + the signal.
    end.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        describeSignal(WTERMSIG(status), WCOREDUMP(status), end.ending, sizeof end.ending);
        if (modesKnown) posix::restoreModes(modes);
    }
    end.cpuSeconds = seconds(run.usage.ru_utime) + seconds(run.usage.ru_stime);
    // Linux counts it in KiB; no program that ran takes none.
    end.peakMegabytes = run.usage.ru_maxrss > 0 ? static_cast<double>(run.usage.ru_maxrss) / 1024 : -1;
    return end;
}
