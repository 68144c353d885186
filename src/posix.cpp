// The launcher on POSIX systems: the terminal stands in for the console window, and the
// child is started from the same command line a Windows child would be given.

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
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "platform.h"
#include "texts.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX asks us to declare it

namespace {

int terminal = -1;                    // the controlling terminal, when there is one
bool showsOutput = false;             // it is where our standard output goes
bool titled = false;                  // our title stands on it, the one found saved below
bool leadsGroup = false;              // our process group is ours: the caller's job, say
bool pipeIgnored = false;             // SIGPIPE was ignored when we were started
volatile sig_atomic_t runningChild;   // the child's pid while it runs, else 0
volatile sig_atomic_t endRequested;   // SIGTERM or SIGHUP came: finish, do not linger

bool isIgnored(int signal)
{
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

// Takes the signal with the handler (or SIG_IGN, SIG_DFL); false if it cannot be taken.
bool handle(int signal, void (*handler)(int), struct sigaction* previous = nullptr)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // A write or a wait that a signal interrupts goes on; the key wait's ppoll still
    // returns, as poll calls are never restarted.
    action.sa_flags = SA_RESTART;
    return sigaction(signal, &action, previous) == 0;
}

// What the caller asks of the launcher, it asks of the program it runs. As timeout does,
// the request goes to the whole job when we lead it, so that nothing the program started
// lingers; never to a group we do not lead. A stopped program would not see it until
// continued.
void passOnEnd(int signal)
{
    const int interrupted = errno;
    endRequested = signal;
    const pid_t child = runningChild;
    if (child > 0) {
        kill(child, signal);
        kill(child, SIGCONT);
        if (leadsGroup) {
            // We are in the group too, and have the request already.
            handle(signal, SIG_IGN);
            kill(0, signal);
            kill(0, SIGCONT);
        }
    }
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

// Only the terminal's foreground job may set its modes or read from it.
bool inForeground() { return terminal >= 0 && tcgetpgrp(terminal) == getpgrp(); }

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

// posix_spawnp with the launcher's own arguments: the command line splits back into exactly
// these by the rules of the child's C runtime, so they go as they are. Returns 0 or the
// reason it could not start. The clock starts right before the child is created, with all
// the launcher's own work done.
int spawn(int count, char* const* arguments, const posix_spawnattr_t* attributes, pid_t* child, timespec* started)
try {
    if (count < 1) return ENOENT;
    *started = now();
    int error = posix_spawnp(child, arguments[0], nullptr, attributes, arguments, environ);
    // A file of commands without "#!" is a script for sh, to execvp, env and the shells alike.
    if (error == ENOEXEC) {
        std::string script = onPath(arguments[0]);
        char shell[] = "/bin/sh";
        std::vector<char*> argv{shell, script.data()};
        argv.insert(argv.end(), arguments + 1, arguments + count + 1);  // the null pointer too
        error = posix_spawn(child, shell, nullptr, attributes, argv.data(), environ);
    }
    return error;
} catch (const std::bad_alloc&) {
    return ENOMEM;
}

// The launcher's state while it waits for a key: what a signal asked of it.
volatile sig_atomic_t endingSignal;   // one that would end the process
volatile sig_atomic_t stoppingSignal; // one that would stop it

void noteWhileWaiting(int signal)
{
    if (signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU) stoppingSignal = signal;
    else if (signal != SIGCONT) endingSignal = signal;
}

// Signals that the key wait takes itself: every one that would end or stop the launcher
// and was not ignored when we were given it, and SIGCONT. SIGTERM and SIGHUP already end
// the wait.
class WaitSignals {
public:
    WaitSignals()
    {
        sigemptyset(&taken_);
        for (int signal = 1; signal < NSIG; ++signal) {
            if (leavesUsAlone(signal) || isIgnored(signal)) continue;
            if (handle(signal, noteWhileWaiting, &previous_[signal])) sigaddset(&taken_, signal);
        }
        sigset_t blocked = endSignals();
        for (int signal = 1; signal < NSIG; ++signal) {
            if (sigismember(&taken_, signal) == 1) sigaddset(&blocked, signal);
        }
        // Let through only inside ppoll, so that none comes unseen just before it.
        sigprocmask(SIG_BLOCK, &blocked, &open_);
    }

    ~WaitSignals()
    {
        for (int signal = 1; signal < NSIG; ++signal) {
            if (sigismember(&taken_, signal) == 1) sigaction(signal, &previous_[signal], nullptr);
        }
        sigprocmask(SIG_SETMASK, &open_, nullptr);
    }

    WaitSignals(const WaitSignals&) = delete;
    WaitSignals& operator=(const WaitSignals&) = delete;

    // The mask under which signals may come.
    const sigset_t* open() const { return &open_; }

    // Takes the signal as the system would, now: ends or stops the process; returns if the
    // process goes on (continued, or the signal did nothing).
    void undergo(int signal)
    {
        struct sigaction ours {};
        handle(signal, SIG_DFL, &ours);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        raise(signal);
        sigprocmask(SIG_UNBLOCK, &one, nullptr);
        sigprocmask(SIG_BLOCK, &one, nullptr);
        sigaction(signal, &ours, nullptr);
    }

private:
    static bool leavesUsAlone(int signal)
    {
        for (int left : {SIGKILL, SIGSTOP, SIGTERM, SIGHUP, SIGCHLD, SIGURG, SIGWINCH, SIGPIPE}) {
            if (signal == left) return true;
        }
        return false;
    }

    sigset_t taken_{}, open_{};
    struct sigaction previous_[NSIG] {};
};

// Reads what one key press sends; 0 when a signal came first, below 0 when the terminal
// has nothing more to give (hung up, say).
ssize_t readKey(const WaitSignals& signals, char* key, std::size_t size)
{
    pollfd ready{terminal, POLLIN, 0};
    const int events = ppoll(&ready, 1, nullptr, signals.open());
    if (events < 0) return errno == EINTR ? 0 : -1;
    const ssize_t got = read(terminal, key, size);
    if (got < 0 && errno == EINTR) return 0;
    return got == 0 ? -1 : got;
}

// Puts the terminal's modes back, when it is ours to touch.
void restoreModes(const termios& modes)
{
    if (inForeground()) tcsetattr(terminal, TCSADRAIN, &modes);
}

}  // namespace

void claimConsole(const char* title)
{
    // A reader that has gone away must not kill us: our writes fail quietly instead. The
    // child gets SIGPIPE as we were given it.
    pipeIgnored = isIgnored(SIGPIPE);
    std::signal(SIGPIPE, SIG_IGN);
    // A caller may have left SIGCHLD ignored, and then the system would reap the child
    // itself and keep from us how it ended. The child gets the default as well.
    std::signal(SIGCHLD, SIG_DFL);
    leadsGroup = getpgrp() == getpid();
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
    // The title is for the window that shows our output, and a job in the background
    // leaves the terminal alone.
    // (tcgetpgrp answers only for the controlling terminal.)
    showsOutput = tcgetpgrp(STDOUT_FILENO) >= 0;
    if (!showsOutput || !inForeground()) return;
    // Save the terminal's title on its title stack, to give it back at the end.
    writeAll(terminal, "\033[22;0t\033]0;");
    writeAll(terminal, title);
    writeAll(terminal, "\007");
    titled = true;
}

void releaseConsole()
{
    if (terminal < 0) return;
    if (titled) writeAll(terminal, "\033[23;0t");
    titled = false;
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

// The command line is for the reader: the child gets the arguments themselves.
ChildEnd runChild(char* /*commandLine*/, int count, char* const* arguments)
{
    // Like system(): Ctrl-C and Ctrl-\ are for the child while it runs. The child starts
    // with every signal as we were given it.
    sigset_t defaults;
    sigemptyset(&defaults);
    if (!pipeIgnored) sigaddset(&defaults, SIGPIPE);
    for (int signal : {SIGINT, SIGQUIT}) {
        if (!isIgnored(signal)) sigaddset(&defaults, signal);
    }
    const sigset_t ends = endSignals();
    sigset_t mask;
    // Held back until the child's pid is known, so that none is lost in between.
    sigprocmask(SIG_BLOCK, &ends, &mask);
    if (endRequested != 0) {
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        ChildEnd end{};
        end.start = Start::endAsked;
        end.exitCode = 128 + endRequested;
        return end;
    }

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    struct sigaction interrupt {}, quit {};
    handle(SIGINT, SIG_IGN, &interrupt);
    handle(SIGQUIT, SIG_IGN, &quit);

    // A program that dies of a signal cannot put back what it did to the terminal: as the
    // shells do, we put back the modes it had before the program ran.
    termios modes{};
    const bool modesKnown = inForeground() && tcgetattr(terminal, &modes) == 0;

    pid_t child = 0;
    timespec started = now();
    const int error = spawn(count, arguments, &attributes, &child, &started);
    posix_spawnattr_destroy(&attributes);
    if (error == 0) runningChild = child;
    sigprocmask(SIG_SETMASK, &mask, nullptr);

    ChildEnd end{};
    if (error != 0) {
        end = failedStart(error);
        end.seconds = secondsBetween(started, now());
    } else {
        int status = 0;
        rusage usage{};
        pid_t waited = 0;
        while ((waited = wait4(child, &status, 0, &usage)) < 0 && errno == EINTR) {
        }
        end.seconds = secondsBetween(started, now());
        runningChild = 0;
        if (waited < 0) {
            end.start = Start::lost;
            std::snprintf(end.reason, sizeof end.reason, "%s", std::strerror(errno));
        } else {
            end.start = Start::ran;
            // A child killed by a signal ends as the shells report it: 128 + the signal.
            end.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
            if (WIFSIGNALED(status)) {
                describeSignal(WTERMSIG(status), WCOREDUMP(status), end.ending, sizeof end.ending);
                if (modesKnown) restoreModes(modes);
            }
            end.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            // Linux counts it in KiB; no program that ran takes none.
            end.peakMegabytes = usage.ru_maxrss > 0 ? static_cast<double>(usage.ru_maxrss) / 1024 : -1;
        }
    }
    sigaction(SIGINT, &interrupt, nullptr);
    sigaction(SIGQUIT, &quit, nullptr);
    return end;
}

void waitForKey()
{
    // Only the terminal that shows the prompt has someone to press a key; without one (an
    // IDE's pipes, CI, a log file) there is no window to hold open. Whatever the input is,
    // the key is read from the terminal.
    if (!showsOutput || endRequested != 0 || !inForeground()) return;
    termios saved{};
    if (tcgetattr(terminal, &saved) != 0) return;

    // One key, unechoed, without Enter; Ctrl-C is a key like any other here.
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;

    WaitSignals signals;
    endingSignal = 0;
    stoppingSignal = 0;
    char key[32];
    ssize_t got = 0;
    while (got == 0 && endRequested == 0 && endingSignal == 0) {
        // Stopped, the launcher gives the terminal back to the shell as it found it, and
        // waits on once it is the foreground job again (fg), as less and vi do.
        if (stoppingSignal != 0 || !inForeground()) {
            const int stop = stoppingSignal != 0 ? stoppingSignal : SIGTTIN;
            stoppingSignal = 0;
            restoreModes(saved);
            signals.undergo(stop);
            if (!inForeground()) break;
        }
        // TCSAFLUSH drops what was typed before the prompt: only a key pressed now counts.
        if (tcsetattr(terminal, TCSAFLUSH, &raw) != 0) break;
        got = readKey(signals, key, sizeof key);
    }
    // An arrow or function key sends several bytes; let them arrive and drop them all, so
    // that none is left for the shell.
    if (got > 0 && key[0] == '\033') {
        pollfd more{terminal, POLLIN, 0};
        while (poll(&more, 1, 25) > 0 && read(terminal, key, sizeof key) > 0) {
        }
    }
    if (inForeground()) {
        tcflush(terminal, TCIFLUSH);
        tcsetattr(terminal, TCSANOW, &saved);
    }

    // A signal that ends the launcher finds the terminal and its title as they were found,
    // and then ends it as it would have.
    if (endingSignal != 0) {
        releaseConsole();
        signals.undergo(endingSignal);
    }
}
