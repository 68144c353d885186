// The terminal stands in for the console window: it gets the title, shows the prompt and
// gives the key, and is left as the launcher found it.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "../platform.h"
#include "internal.h"

namespace posix {

int terminal = -1;

namespace {

bool showsOutput = false;  // the terminal is where our standard output goes
bool titled = false;       // our title stands on it, the one found saved below

// A terminal that takes escape sequences: not Emacs' shell, an IDE's simple pane, or one
// that says nothing of itself, where they would show as junk. As less and ls decide.
bool takesEscapes()
{
    const char* const type = std::getenv("TERM");
    return type != nullptr && *type != '\0' && std::strcmp(type, "dumb") != 0;
}

void tell(const char* text) { writeAll(terminal, text, std::strlen(text)); }

// Reads what one key press sends; 0 when a signal came first (`signal` says which), below 0
// when the terminal has nothing more to give (hung up, say).
ssize_t readKey(KeySignals& signals, char* key, std::size_t size, int& signal)
{
    pollfd ready[] = {{terminal, POLLIN, 0}, {signals.descriptor(), POLLIN, 0}};
    const int events = poll(ready, 2, -1);
    if (events < 0) return errno == EINTR ? 0 : -1;
    if (ready[1].revents != 0 && (signal = signals.next()) != 0) return 0;
    if (ready[0].revents == 0) return 0;
    const ssize_t got = read(terminal, key, size);
    if (got < 0 && errno == EINTR) return 0;
    return got == 0 ? -1 : got;
}

}  // namespace

bool inForeground() { return terminal >= 0 && tcgetpgrp(terminal) == getpgrp(); }

void restoreModes(const termios& modes)
{
    if (inForeground()) tcsetattr(terminal, TCSADRAIN, &modes);
}

bool heldByProgram(pid_t child)
{
    if (terminal < 0) return false;
    const pid_t holder = tcgetpgrp(terminal);
    if (holder <= 0 || holder == getpgrp()) return false;
    // The program's own group, or one with nobody left in it; never one that is alive and
    // not the program's, such as the shell's after it put our job in the background.
    return holder == child || (kill(-holder, 0) < 0 && errno == ESRCH);
}

void giveTerminal(pid_t group)
{
    // From the background, tcsetpgrp would stop us with SIGTTOU.
    sigset_t quiet, before;
    sigemptyset(&quiet);
    sigaddset(&quiet, SIGTTOU);
    sigprocmask(SIG_BLOCK, &quiet, &before);
    tcsetpgrp(terminal, group);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace posix

using posix::inForeground;
using posix::terminal;

// Terminals here are UTF-8: a UTF-8 console asks nothing more of them.
void claimConsole(const char* title, bool /*utf8Console*/)
{
    posix::takeSignals();

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
    posix::showsOutput = tcgetpgrp(STDOUT_FILENO) >= 0;
    if (!posix::showsOutput || !inForeground() || !posix::takesEscapes()) return;
    // Save the terminal's title on its title stack, to give it back at the end.
    posix::tell("\033[22;0t\033]0;");
    posix::tell(title);
    posix::tell("\007");
    posix::titled = true;
}

void releaseConsole()
{
    if (terminal < 0) return;
    if (posix::titled) posix::tell("\033[23;0t");
    posix::titled = false;
    close(terminal);
    terminal = -1;
}

void waitForKey()
{
    // Only the terminal that shows the prompt has someone to press a key; without one (an
    // IDE's pipes, CI, a log file) there is no window to hold open. Whatever the input is,
    // the key is read from the terminal.
    if (!posix::showsOutput || !inForeground()) return;
    termios saved{};
    if (tcgetattr(terminal, &saved) != 0) return;

    // One key, unechoed, without Enter; Ctrl-C is a key like any other here.
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;

    posix::KeySignals signals;
    char key[32];
    ssize_t got = 0;
    int signal = 0;
    for (;;) {
        if (!inForeground()) {
            posix::restoreModes(saved);
            posix::undergo(SIGTTIN);
            if (!inForeground()) break;
        }
        // TCSAFLUSH drops what was typed before the prompt: only a key pressed now counts.
        if (tcsetattr(terminal, TCSAFLUSH, &raw) != 0) break;
        got = posix::readKey(signals, key, sizeof key, signal);
        if (got != 0 || (signal != 0 && !posix::isStop(signal))) break;
        if (signal == 0) continue;
        // Stopped, the launcher gives the terminal back to the shell as it found it, and
        // waits on once it is the foreground job again (fg), as less and vi do.
        posix::restoreModes(saved);
        posix::undergo(signal);
        signal = 0;
        if (!inForeground()) break;
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
    // and then ends it as it would have; SIGTERM and SIGHUP end only the wait.
    if (signal != 0 && !posix::endsTheWait(signal)) {
        releaseConsole();
        posix::undergo(signal);
    }
}
