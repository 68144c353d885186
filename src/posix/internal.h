#pragma once

// What the launcher's POSIX files share: the terminal (tty.cpp), the signals that come
// while the child runs or the launcher waits for a key (signal.cpp), and the writing of
// the launcher's own lines (stream.cpp); process.cpp starts and follows the child.

#include <csignal>
#include <cstddef>

#include <sys/types.h>
#include <termios.h>

namespace posix {

// The terminal -------------------------------------------------------------------------

// The controlling terminal, when there is one, else -1.
extern int terminal;

// Only the terminal's foreground job may set its modes or read from it.
bool inForeground();

// Puts the terminal's modes back, when it is ours to touch.
void restoreModes(const termios& modes);

// Whether the terminal is held by a group that the program made its own and left there
// (a shell, a program with job control), which no one else will give back.
bool heldByProgram(pid_t child);

// Makes the group the terminal's foreground; a launcher in the background may do so too.
void giveTerminal(pid_t group);

// Signals ------------------------------------------------------------------------------

// The child while it runs, else 0; set only with the requests to end blocked. When it
// leads a process group of its own, as a job of a shell does, the group: what is passed on
// to the child goes to all of it.
extern volatile sig_atomic_t runningChild;
extern volatile sig_atomic_t childGroup;

// Sends the signal to the child, or to all of its group when it leads one; safe in a
// signal handler.
void signalChild(int signal);
// A caller's request to end that came (its signal), else 0: finish, do not linger.
extern volatile sig_atomic_t endRequested;

bool isIgnored(int signal);

// Takes the signal with the handler (or SIG_IGN, SIG_DFL); false if it cannot be taken.
bool handle(int signal, void (*handler)(int), struct sigaction* previous = nullptr);

// Takes the signals for this run: from now on, a caller's request to end is passed on to
// the child, or noted before it runs (`leadsGroup`: the launcher's process group is its own,
// a shell's job, and then the whole group is asked), and neither a reader that went away
// nor a caller that ignored SIGCHLD can cost the launcher its report.
void takeSignals(bool leadsGroup);

// The signals the child starts with at their default: those the launcher changed for
// itself, which the child gets as the launcher was given them.
sigset_t childDefaults();

// The requests to end and to stop that come while the child runs: blocked until its pid is
// known, so that none is lost in between.
sigset_t runSignals();

// Signals the launcher takes for a while, each given back as it was found when the
// taking ends (or sooner, with giveBack).
class TakenSignals {
public:
    TakenSignals() { sigemptyset(&taken_); }
    ~TakenSignals() { giveBack(); }
    TakenSignals(const TakenSignals&) = delete;
    TakenSignals& operator=(const TakenSignals&) = delete;

    // Takes the signal with the handler, unless the caller ignored it: it stays ignored.
    void take(int signal, void (*handler)(int, siginfo_t*, void*));
    void giveBack();
    const sigset_t& taken() const { return taken_; }

private:
    struct sigaction previous_[NSIG] {};
    sigset_t taken_{};
};

// While the child runs: Ctrl-C, Ctrl-\ and Ctrl-Z are the child's, and the launcher
// follows; the same signals sent by another process to the launcher are passed on.
class ChildSignals {
public:
    ChildSignals();

private:
    TakenSignals taken_;
};

// While the launcher waits for a key: every signal that would end or stop it and was not
// ignored is taken, and let through only inside ppoll, so that none comes unseen just
// before it. The requests to end finish the wait.
class WaitSignals {
public:
    WaitSignals();
    ~WaitSignals();
    WaitSignals(const WaitSignals&) = delete;
    WaitSignals& operator=(const WaitSignals&) = delete;

    // The mask under which signals may come.
    const sigset_t* open() const { return &open_; }
    // A signal that came and would end the launcher, or stop it; else 0. Each is read once.
    int endingSignal();
    int stoppingSignal();

private:
    TakenSignals taken_;
    sigset_t open_{};
};

// Takes the signal as the system would, now: ends or stops the process; returns if the
// process goes on (continued, or the signal did nothing).
void undergo(int signal);

// Streams ------------------------------------------------------------------------------

// Writes all of the text, or as much as the file takes before it fails (false, errno
// says why); waits for a file that another process left non-blocking to take more.
bool writeAll(int file, const char* text, std::size_t size);

// The system's reason, in the user's words: the launcher's own for those a learner meets,
// else the system's.
const char* reasonWords(int error);

}  // namespace posix
