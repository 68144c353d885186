// Signals. The launcher takes every signal it acts on synchronously: blocked, and read from
// a signalfd in its own loops (the run's, beside the program's output, and the key wait's),
// as timeout takes them with sigtimedwait. No
// handler runs at an unknown moment, and nothing is ever sent to a child already reaped.
// What a caller asks of the launcher while the program runs, it asks of the program; the
// terminal's keys already reach the program, and the launcher follows where they lead it.

#include <cerrno>
#include <csignal>
#include <span>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "internal.h"

namespace posix {

namespace {

// What a caller sends to ask for an end: kill's default, a hang-up, a stop button, the
// timers and user signals of a tool that stands above the launcher.
constexpr int endRequests[] = {SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};
// The terminal's keys send these to the whole foreground job, the program included: only
// when another process sends them is the program not asked already.
constexpr int keyRequests[] = {SIGINT, SIGQUIT};
constexpr int stops[] = {SIGTSTP, SIGTTIN, SIGTTOU};

bool pipeIgnored = false;  // SIGPIPE was ignored when we were started
bool leadsOwnGroup = false;
sigset_t found;            // the signals blocked when we were started: the program's too
sigset_t requests;         // the requests to end, taken from the start to the end
sigset_t whileRunning;     // and with them, while the program runs, its stops and its end
sigset_t held;             // what is blocked but while the program runs

bool isIgnored(int signal)
{
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

// One the caller ignored stays ignored: it did not want it to end anything.
void addUnlessIgnored(sigset_t& set, std::span<const int> signals)
{
    for (int signal : signals) {
        if (!isIgnored(signal)) sigaddset(&set, signal);
    }
}

bool isOneOf(int signal, std::span<const int> signals)
{
    for (int one : signals) {
        if (signal == one) return true;
    }
    return false;
}

bool sentByUs(const siginfo_t& info) { return info.si_code == SI_USER && info.si_pid == getpid(); }

// Signals the key wait leaves alone: those nobody can take, and those that mean nothing to
// it (SIGPIPE is ignored: a reader that went away costs only the launcher's lines).
constexpr int leftAloneByTheWait[] = {SIGKILL, SIGSTOP, SIGCHLD, SIGURG, SIGWINCH, SIGPIPE, SIGCONT};

}  // namespace

void takeSignals()
{
    // A reader that has gone away must not kill us: our writes fail quietly instead.
    pipeIgnored = isIgnored(SIGPIPE);
    std::signal(SIGPIPE, SIG_IGN);
    // A caller may have left SIGCHLD ignored, and then the system would reap the child
    // itself and keep from us how it ended. The child gets the default as well.
    std::signal(SIGCHLD, SIG_DFL);
    leadsOwnGroup = getpgrp() == getpid();
    sigemptyset(&requests);
    addUnlessIgnored(requests, endRequests);
    addUnlessIgnored(requests, keyRequests);
    whileRunning = requests;
    addUnlessIgnored(whileRunning, stops);
    sigaddset(&whileRunning, SIGCHLD);
    sigprocmask(SIG_BLOCK, &requests, &found);
    sigprocmask(SIG_BLOCK, nullptr, &held);
}

const sigset_t& programMask() { return found; }

sigset_t programDefaults()
{
    sigset_t defaults;
    sigemptyset(&defaults);
    if (!pipeIgnored) sigaddset(&defaults, SIGPIPE);
    return defaults;
}

int holdRunSignals()
{
    sigprocmask(SIG_BLOCK, &whileRunning, nullptr);
    return signalfd(-1, &whileRunning, SFD_CLOEXEC | SFD_NONBLOCK);
}

void releaseRunSignals(int descriptor)
{
    if (descriptor >= 0) close(descriptor);
    sigprocmask(SIG_SETMASK, &held, nullptr);
}

int pendingEndRequest()
{
    const timespec now{0, 0};
    siginfo_t info{};
    for (;;) {
        const int signal = sigtimedwait(&requests, &info, &now);
        if (signal < 0) return 0;
        // Ctrl-C before there is a program to take it asks the launcher itself to end.
        if (!sentByUs(info)) return signal;
    }
}

Request nextRequest(int descriptor, int& signal)
{
    signalfd_siginfo info{};
    for (;;) {
        const ssize_t got = read(descriptor, &info, sizeof info);
        if (got < 0 && errno == EINTR) continue;
        if (got != static_cast<ssize_t>(sizeof info)) return Request::none;
        signal = static_cast<int>(info.ssi_signo);
        const bool byAProcess = info.ssi_code == SI_USER || info.ssi_code == SI_QUEUE;
        // The copy of a request we passed on to our own process group comes back: dropped.
        if (byAProcess && static_cast<pid_t>(info.ssi_pid) == getpid()) continue;
        if (signal == SIGCHLD) return Request::childChanged;
        if (isOneOf(signal, endRequests)) return Request::end;
        // The terminal sent it to the whole job, the program included.
        if (!byAProcess) continue;
        return isOneOf(signal, keyRequests) ? Request::end : Request::stop;
    }
}

void passOnEnd(pid_t child, int signal)
{
    // As timeout does, the request goes to the whole job when we lead it, so that nothing
    // the program started lingers; never to a group we do not lead. A stopped program would
    // not see it until continued. We have it already: the copy that comes back is dropped.
    const pid_t to = leadsOwnGroup ? 0 : child;
    kill(to, signal);
    kill(to, SIGCONT);
}

KeySignals::KeySignals()
{
    sigset_t taken;
    sigemptyset(&taken);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (!isOneOf(signal, leftAloneByTheWait) && !isIgnored(signal)) sigaddset(&taken, signal);
    }
    sigprocmask(SIG_BLOCK, &taken, &before_);
    descriptor_ = signalfd(-1, &taken, SFD_CLOEXEC | SFD_NONBLOCK);
}

KeySignals::~KeySignals()
{
    if (descriptor_ >= 0) close(descriptor_);
    sigprocmask(SIG_SETMASK, &before_, nullptr);
}

int KeySignals::next()
{
    signalfd_siginfo info{};
    for (;;) {
        const ssize_t got = read(descriptor_, &info, sizeof info);
        if (got == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
        if (got < 0 && errno == EINTR) continue;
        return 0;
    }
}

bool isStop(int signal) { return isOneOf(signal, stops); }

bool endsTheWait(int signal) { return signal == SIGTERM || signal == SIGHUP; }

void undergo(int signal)
{
    sigset_t one, before;
    sigemptyset(&one);
    sigaddset(&one, signal);
    sigprocmask(SIG_BLOCK, &one, &before);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &one, nullptr);  // taken here
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace posix
