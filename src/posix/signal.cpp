// Signals. What a caller asks of the launcher while the program runs, it asks of the
// program, as timeout and sudo pass it on; the terminal's keys already reach the program
// and the launcher follows where they lead it. At the key wait, a signal ends or stops the
// launcher as it would any program, once the terminal is put back.

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <signal.h>
#include <unistd.h>

#include "internal.h"

namespace posix {

volatile sig_atomic_t runningChild;
volatile sig_atomic_t childGroup;
volatile sig_atomic_t endRequested;

namespace {

// What a caller sends to ask for an end: kill's default, a hang-up, a stop button, the
// timers and user signals of a tool that stands above the launcher.
constexpr int endRequests[] = {SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};
// The terminal's keys send these to the whole foreground job, the program included: only
// when another process sends them is the program not asked already.
constexpr int keyRequests[] = {SIGINT, SIGQUIT};
constexpr int stops[] = {SIGTSTP, SIGTTIN, SIGTTOU};

bool leadsOwnGroup = false;
bool pipeIgnored = false;  // SIGPIPE was ignored when we were started

bool sentByAProcess(const siginfo_t* info) { return info->si_code == SI_USER || info->si_code == SI_QUEUE; }

// As timeout does, the request goes to the whole job when we lead it, so that nothing the
// program started lingers; never to a group we do not lead. A stopped program would not
// see it until continued.
void passOnEnd(int signal)
{
    const int interrupted = errno;
    endRequested = signal;
    if (runningChild > 0) {
        signalChild(signal);
        signalChild(SIGCONT);
        if (leadsOwnGroup && childGroup == 0) {
            // We are in the group too, and have the request already.
            handle(signal, SIG_IGN);
            kill(0, signal);
            kill(0, SIGCONT);
        }
    }
    errno = interrupted;
}

void passOnEndIfSent(int signal, siginfo_t* info, void*)
{
    if (sentByAProcess(info)) passOnEnd(signal);
}

// A stop sent to the launcher alone is the program's; the launcher stops once the program
// has (see process.cpp).
void passOnStopIfSent(int signal, siginfo_t* info, void*)
{
    const int interrupted = errno;
    if (sentByAProcess(info)) signalChild(signal);
    errno = interrupted;
}

// The launcher's state while it waits for a key: what a signal asked of it.
volatile sig_atomic_t pendingEnd;   // a signal that would end the process
volatile sig_atomic_t pendingStop;  // one that would stop it

void noteWhileWaiting(int signal, siginfo_t*, void*)
{
    if (signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU) pendingStop = signal;
    else if (signal != SIGCONT) pendingEnd = signal;
}

// Signals the key wait leaves alone: those nobody can take, those that mean nothing to it,
// and SIGTERM and SIGHUP, which end it as they end a run.
bool leftAloneByTheWait(int signal)
{
    for (int left : {SIGKILL, SIGSTOP, SIGTERM, SIGHUP, SIGCHLD, SIGURG, SIGWINCH, SIGPIPE}) {
        if (signal == left) return true;
    }
    return false;
}

}  // namespace

void signalChild(int signal)
{
    const pid_t child = runningChild, group = childGroup;
    if (child > 0) kill(group > 0 ? -group : child, signal);
}

bool isIgnored(int signal)
{
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

bool handle(int signal, void (*handler)(int), struct sigaction* previous)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // A write or a wait that a signal interrupts goes on; the key wait's ppoll still
    // returns, as poll calls are never restarted.
    action.sa_flags = SA_RESTART;
    return sigaction(signal, &action, previous) == 0;
}

void takeSignals(bool leadsGroup)
{
    // A reader that has gone away must not kill us: our writes fail quietly instead.
    pipeIgnored = isIgnored(SIGPIPE);
    std::signal(SIGPIPE, SIG_IGN);
    // A caller may have left SIGCHLD ignored, and then the system would reap the child
    // itself and keep from us how it ended. The child gets the default as well.
    std::signal(SIGCHLD, SIG_DFL);
    leadsOwnGroup = leadsGroup;
    // One that the caller ignored stays ignored: it did not want it to end anything.
    for (int signal : endRequests) {
        if (!isIgnored(signal)) handle(signal, passOnEnd);
    }
}

sigset_t childDefaults()
{
    sigset_t defaults;
    sigemptyset(&defaults);
    if (!pipeIgnored) sigaddset(&defaults, SIGPIPE);
    return defaults;
}

sigset_t runSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : endRequests) sigaddset(&set, signal);
    for (int signal : keyRequests) sigaddset(&set, signal);
    for (int signal : stops) sigaddset(&set, signal);
    return set;
}

void TakenSignals::take(int signal, void (*handler)(int, siginfo_t*, void*))
{
    if (isIgnored(signal)) return;
    struct sigaction action {};
    action.sa_sigaction = handler;
    sigemptyset(&action.sa_mask);
    // A write or a wait that a signal interrupts goes on; ppoll still returns.
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    if (sigaction(signal, &action, &previous_[signal]) == 0) sigaddset(&taken_, signal);
}

void TakenSignals::giveBack()
{
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&taken_, signal) == 1) sigaction(signal, &previous_[signal], nullptr);
    }
    sigemptyset(&taken_);
}

ChildSignals::ChildSignals()
{
    for (int signal : keyRequests) taken_.take(signal, passOnEndIfSent);
    for (int signal : stops) taken_.take(signal, passOnStopIfSent);
}

WaitSignals::WaitSignals()
{
    pendingEnd = 0;
    pendingStop = 0;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (!leftAloneByTheWait(signal)) taken_.take(signal, noteWhileWaiting);
    }
    sigset_t blocked = taken_.taken();
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &open_);
}

WaitSignals::~WaitSignals()
{
    // A signal held back until now comes to the disposition it was found with.
    taken_.giveBack();
    sigprocmask(SIG_SETMASK, &open_, nullptr);
}

int WaitSignals::endingSignal()
{
    const int signal = pendingEnd;
    pendingEnd = 0;
    return signal;
}

int WaitSignals::stoppingSignal()
{
    const int signal = pendingStop;
    pendingStop = 0;
    return signal;
}

void undergo(int signal)
{
    struct sigaction ours {};
    handle(signal, SIG_DFL, &ours);
    sigset_t one, before;
    sigemptyset(&one);
    sigaddset(&one, signal);
    sigprocmask(SIG_BLOCK, &one, &before);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &one, nullptr);  // taken here
    sigprocmask(SIG_SETMASK, &before, nullptr);
    sigaction(signal, &ours, nullptr);
}

}  // namespace posix
