// The launcher on POSIX systems: the terminal stands in for the console window, and the
// child is started from the same command line a Windows child would be given.

#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "platform.h"
#include "split.h"
#include "texts.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX asks us to declare it

namespace {

int terminal = -1;                    // the controlling terminal, when there is one
volatile sig_atomic_t runningChild;   // the child's pid while it runs, else 0
volatile sig_atomic_t endRequested;   // SIGTERM or SIGHUP came: finish, do not linger

void passOnEnd(int signal)
{
    const int interrupted = errno;
    endRequested = signal;
    if (runningChild > 0) kill(runningChild, signal);
    errno = interrupted;
}

// The signals that ask the launcher to end.
sigset_t endSignals()
{
    sigset_t ends;
    sigemptyset(&ends);
    sigaddset(&ends, SIGTERM);
    sigaddset(&ends, SIGHUP);
    return ends;
}

int fileOf(Stream stream) { return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO; }

// Writes all of the text, or as much as the file takes before it fails.
void writeAll(int file, const char* text)
{
    for (std::size_t left = std::strlen(text); left > 0;) {
        const ssize_t written = write(file, text, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

bool isIgnored(int signal)
{
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

void handle(int signal, void (*handler)(int), struct sigaction* previous = nullptr)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a key wait must notice that it was asked to end.
    sigaction(signal, &action, previous);
}

// Reads what one key press sends; 0 when asked to end first. The end signals are let
// through only inside ppoll, so one that comes just before the wait cannot be missed.
ssize_t readKey(char* key, std::size_t size)
{
    const sigset_t ends = endSignals();
    sigset_t waiting;
    sigprocmask(SIG_BLOCK, &ends, &waiting);
    ssize_t got = 0;
    while (endRequested == 0) {
        pollfd ready{terminal, POLLIN, 0};
        const int events = ppoll(&ready, 1, nullptr, &waiting);
        if (events < 0 && errno == EINTR) continue;
        if (events > 0) got = read(terminal, key, size);
        if (got >= 0 || errno != EINTR) break;
    }
    sigprocmask(SIG_SETMASK, &waiting, nullptr);
    return got;
}

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
        for (const SignalWords& known : signalWords) {
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
    std::snprintf(end.reason, sizeof end.reason, "%s", std::strerror(error));
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

// posix_spawnp with the arguments the child's C runtime would read from the command line;
// returns 0 or the reason it could not start. The clock starts right before the child is
// created, with all the launcher's own work done.
int spawn(char* commandLine, const posix_spawnattr_t* attributes, pid_t* child, timespec* started)
try {
    std::vector<char*> argv = splitCommandLine(commandLine);
    if (argv.empty()) return ENOENT;
    argv.push_back(nullptr);
    *started = now();
    return posix_spawnp(child, argv[0], nullptr, attributes, argv.data(), environ);
} catch (const std::bad_alloc&) {
    return ENOMEM;
}

}  // namespace

void claimConsole(const char* title)
{
    // A reader that has gone away must not kill us: our writes fail quietly instead.
    std::signal(SIGPIPE, SIG_IGN);
    // A caller may have left SIGCHLD ignored, and then the system would reap the child
    // itself and keep from us how it ended. The child gets the default as well.
    std::signal(SIGCHLD, SIG_DFL);
    // Asked to end while the child runs, we pass the request on and report its end.
    for (int signal : {SIGTERM, SIGHUP}) {
        if (!isIgnored(signal)) handle(signal, passOnEnd);
    }

    terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return;
    // With a standard stream closed, the terminal would take its number and catch what
    // was meant for that stream (and the child would find it open there).
    if (terminal <= STDERR_FILENO) {
        const int above = fcntl(terminal, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(terminal);
        terminal = above;
        if (terminal < 0) return;
    }
    // Save the terminal's title on its title stack, to give it back at the end.
    writeAll(terminal, "\033[22;0t\033]0;");
    writeAll(terminal, title);
    writeAll(terminal, "\007");
}

void releaseConsole()
{
    if (terminal < 0) return;
    writeAll(terminal, "\033[23;0t");
    close(terminal);
    terminal = -1;
}

void say(Stream stream, const char* format, ...)
{
    char text[2048];  // every line of the launcher's own is shorter
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, sizeof text, format, figures);
    va_end(figures);
    writeAll(fileOf(stream), text);
}

void sayCommandLine(Stream stream, const char* commandLine)
{
    writeAll(fileOf(stream), commandLine);
}

ChildEnd runChild(char* commandLine)
{
    // Like system(): Ctrl-C and Ctrl-\ are for the child while it runs, which starts with
    // the dispositions we were given, and with SIGPIPE at its default.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    for (int signal : {SIGINT, SIGQUIT}) {
        if (!isIgnored(signal)) sigaddset(&defaults, signal);
    }
    const sigset_t ends = endSignals();
    sigset_t mask;
    // Held back until the child's pid is known, so that none is lost in between.
    sigprocmask(SIG_BLOCK, &ends, &mask);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    struct sigaction interrupt {}, quit {};
    handle(SIGINT, SIG_IGN, &interrupt);
    handle(SIGQUIT, SIG_IGN, &quit);

    pid_t child = 0;
    timespec started = now();
    const int error = spawn(commandLine, &attributes, &child, &started);
    posix_spawnattr_destroy(&attributes);
    if (error == 0) {
        runningChild = child;
        if (endRequested != 0) kill(child, endRequested);
    }
    sigprocmask(SIG_SETMASK, &mask, nullptr);

    ChildEnd end{};
    if (error != 0) {
        end = failedStart(error);
        end.seconds = secondsBetween(started, now());
    } else {
        int status = 0;
        rusage usage{};
        while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        end.seconds = secondsBetween(started, now());
        runningChild = 0;
        end.start = Start::ran;
        // A child killed by a signal ends as the shells report it: 128 + the signal.
        end.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        if (WIFSIGNALED(status)) describeSignal(WTERMSIG(status), WCOREDUMP(status), end.ending, sizeof end.ending);
        end.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        // Linux counts it in KiB; no program that ran takes none.
        end.peakMegabytes = usage.ru_maxrss > 0 ? static_cast<double>(usage.ru_maxrss) / 1024 : -1;
    }
    sigaction(SIGINT, &interrupt, nullptr);
    sigaction(SIGQUIT, &quit, nullptr);
    return end;
}

void waitForKey()
{
    // Without a terminal to read (an IDE's pipes, CI) there is no window to hold open.
    if (terminal < 0 || !isatty(STDIN_FILENO) || endRequested) return;
    termios saved {};
    if (tcgetattr(terminal, &saved) != 0) return;

    // One key, unechoed, without Enter; Ctrl-C is a key like any other here.
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // TCSAFLUSH drops what was typed before the prompt: only a key pressed now counts.
    if (tcsetattr(terminal, TCSAFLUSH, &raw) != 0) return;

    char key[32];
    const ssize_t got = readKey(key, sizeof key);
    // An arrow or function key sends several bytes; let them arrive and drop them all, so
    // that none is left for the shell.
    if (got > 0 && key[0] == '\033') {
        pollfd more{terminal, POLLIN, 0};
        while (poll(&more, 1, 25) > 0 && read(terminal, key, sizeof key) > 0) {
        }
    }
    tcflush(terminal, TCIFLUSH);
    tcsetattr(terminal, TCSANOW, &saved);
}
