#pragma once

// What the launcher's POSIX files share: the terminal (tty.cpp), the signals it takes
// (signal.cpp), the processes a run started (tree.cpp), and the writing of the launcher's
// own lines (stream.cpp); process.cpp starts and follows the program.

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

// Blocks, from now until the launcher ends, the caller's requests to end (those it did not
// ignore), which its loops take; and makes sure that neither a reader that went away nor a
// caller that ignored SIGCHLD can cost the launcher its report.
void takeSignals();

// What the program starts with: the launcher's signal mask as it was found, and SIGPIPE at
// its default when the launcher was given it so.
const sigset_t& programMask();
sigset_t programDefaults();

// While the program runs, its stops and its end are taken too, with the requests to end:
// blocked, and read from the descriptor returned, until they are released.
int holdRunSignals();
void releaseRunSignals(int descriptor);

// A request to end that came before the program started (its signal), else 0.
int pendingEndRequest();

// What the next signal that came while the program runs asks of the launcher (`signal` says
// which); none when none came.
enum class Request { none, childChanged, end, stop };
Request nextRequest(int descriptor, int& signal);

// Passes a request to end on to the program, or to the whole job when the launcher leads
// it, with a SIGCONT so that a stopped program sees it too.
void passOnEnd(pid_t child, int signal);

// While the launcher waits for a key: every signal that would end or stop it and was not
// ignored is blocked, and comes as a descriptor to read from beside the terminal.
class KeySignals {
public:
    KeySignals();
    ~KeySignals();
    KeySignals(const KeySignals&) = delete;
    KeySignals& operator=(const KeySignals&) = delete;

    int descriptor() const { return descriptor_; }
    // The next signal that came, else 0.
    int next();

private:
    sigset_t before_{};
    int descriptor_ = -1;
};

bool isStop(int signal);
// SIGTERM and SIGHUP end the key wait as they end a run; the launcher still returns the
// program's exit code.
bool endsTheWait(int signal);

// Takes the signal as the system would, now: ends or stops the process; returns if the
// process goes on (continued, or the signal did nothing).
void undergo(int signal);

// The processes of a run ---------------------------------------------------------------

// The parent of a process, as /proc tells it; 0 when it cannot be told.
pid_t parentOf(pid_t process);

// Whether the launcher adopts what the program leaves behind, so that everything the
// program starts stays its descendant, whoever's child it was.
void adoptOrphans(bool adopt);

// The resident memory of the launcher's descendants, in MiB: the sum of what each holds
// now, or the highest mark a single one reached, whichever is more; below 0 without /proc.
double descendantsMegabytes();

// Ends every descendant of the launcher with SIGKILL, until none is left that was not sent
// it: one that forks meanwhile is caught on the next pass.
void killDescendants();

// Streams ------------------------------------------------------------------------------

// Writes all of the text, or as much as the file takes before it fails (false, errno
// says why); waits for a file that another process left non-blocking to take more.
bool writeAll(int file, const char* text, std::size_t size);

}  // namespace posix
