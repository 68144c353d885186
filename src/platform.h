#pragma once

#include <cstdint>

// What the launcher asks of the system it runs on. Each system answers in a folder of its
// own, a file a concern: posix/ and windows/.

// What arguments and command lines are made of: bytes on POSIX systems; on Windows UTF-16,
// the only form in which every path and argument arrives whole, whatever the code page.
#ifdef _WIN32
using ArgChar = wchar_t;
#else
using ArgChar = char;
#endif

// Takes the console for this run: gives it the title, and makes sure that the launcher's
// own writes cannot kill it when its output has gone away. Asked for a UTF-8 console, puts
// a Windows console's code pages at 65001 for the program (terminals elsewhere are UTF-8).
void claimConsole(const char* title, bool utf8Console);

// Leaves the console as it was found.
void releaseConsole();

// A setting from the environment, in the form arguments come in; null when it is not set.
const ArgChar* setting(const char* name);

// The locale the user reads messages in, where the system has one apart from the launcher's
// own settings (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, the first set); null where it has none.
const ArgChar* messagesLocale();

enum class Stream { out, err };

// Writes the launcher's own text (a printf format in UTF-8, filled with the figures after
// it), or a command line, to its standard output or error at once, in the form the reader
// there takes. Nothing is held back, so whatever the streams are, they show the launcher's
// lines and the child's in the order they were written. False when the stream did not take
// it all; then whyWritingFailed says why, in the user's words.
bool say(Stream stream, const char* format, ...);
void sayCommandLine(Stream stream, const ArgChar* commandLine);
const char* whyWritingFailed();

// An argument in UTF-8, to fill a line of the launcher's own (as much of it as fits).
class Utf8 {
public:
    explicit Utf8(const ArgChar* text);
    const char* text() const { return text_; }

private:
    const char* text_;
    char converted_[1024];
};

// The program to run with its arguments, as the launcher was given them, and the command
// line composed from them: the one the running line shows, and that the child reads its
// arguments from. Where the system needs the program found before it is started (Windows),
// the file found, and whether it is a batch file, which cmd reads by rules of its own.
struct Command {
    int count;
    ArgChar* const* arguments;
    ArgChar* line;
    ArgChar* program;
    bool batch;
};

// Finds the program and composes its command line; false when there is no memory for it.
// What it made goes with releaseCommand.
bool prepareCommand(int count, ArgChar* const* arguments, Command& command);
void releaseCommand(Command& command);

// Whether the child ran, and if not, why. A launcher asked to end before the child was
// started does not start it; one that lost sight of its child cannot say how it ended. An
// argument that cmd would take for a command is refused: nothing runs.
enum class Start { ran, notFound, notRunnable, refused, endAsked, lost };

// Limits for practice, as a contest judge sets them: on the run time the report shows and
// on the peak memory it shows, in seconds and MiB; 0 where none is asked.
struct Limits {
    double seconds;
    double megabytes;
};

// A run that passed a limit: the launcher ended it, or its peak was over the memory limit.
enum class Verdict { none, overTime, overMemory };

struct ChildEnd {
    Start start;
    std::int32_t exitCode;  // what the child ended with, when it ran; when asked to end, 128 + the signal
    double seconds;         // from just before it was created until its end was seen
    double cpuSeconds;      // its user and system time; below 0 when the system cannot tell
    double peakMegabytes;   // its peak resident memory, in MiB; below 0 when the system cannot tell
    Verdict verdict;
    char ending[512];       // how it ended, when not normally: a line of the launcher's own
    char reason[1024];      // why it did not run, or why its end is not known: UTF-8, a line of
                            // the launcher's own when refused, else the system's words
};

// Starts the command as a child in this console, with the launcher's environment,
// directory and streams, and waits for it to end, however long that takes, or until it
// passes a limit: then it ends the child and everything the child started, never the
// launcher. The command line may be written over on the way, as Windows may do to it.
// Without limits, nothing watches the child: it costs what it cost before there were any.
ChildEnd runChild(Command& command, const Limits& limits);

// Holds the window open until a key is pressed; returns at once when there is no
// terminal that shows the output, when the launcher is not the terminal's foreground job,
// or when it has been asked to end.
void waitForKey();
