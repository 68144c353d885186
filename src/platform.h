#pragma once

#include <cstdint>

// What the launcher asks of the system it runs on. Each system answers in a file of its
// own: posix.cpp and windows.cpp.

// What arguments and command lines are made of: bytes on POSIX systems; on Windows UTF-16,
// the only form in which every path and argument arrives whole, whatever the code page.
#ifdef _WIN32
using ArgChar = wchar_t;
#else
using ArgChar = char;
#endif

// Takes the console for this run: gives it the title, and makes sure that the launcher's
// own writes cannot kill it when its output has gone away.
void claimConsole(const char* title);

// Leaves the console as it was found.
void releaseConsole();

enum class Stream { out, err };

// Writes the launcher's own text (a printf format in UTF-8, filled with the figures after
// it), or a command line, to its standard output or error at once, in the form the reader
// there takes. Nothing is held back, so whatever the streams are, they show the launcher's
// lines and the child's in the order they were written.
void say(Stream stream, const char* format, ...);
void sayCommandLine(Stream stream, const ArgChar* commandLine);

// Whether the child ran, and if not, why. A launcher asked to end before the child was
// started does not start it; one that lost sight of its child cannot say how it ended.
enum class Start { ran, notFound, notRunnable, endAsked, lost };

struct ChildEnd {
    Start start;
    std::int32_t exitCode;  // what the child ended with, when it ran; when asked to end, 128 + the signal
    double seconds;         // from just before it was created until its end was seen
    double cpuSeconds;      // its user and system time; below 0 when the system cannot tell
    double peakMegabytes;   // its peak resident memory, in MiB; below 0 when the system cannot tell
    char ending[512];       // how it ended, when not normally: a line of the launcher's own
    char reason[1024];      // why it did not run, or why its end is not known: the system's words, UTF-8
};

// Starts the command line as a child in this console, with the launcher's environment,
// directory and streams, and waits for it to end, however long that takes. The command
// line may be written over on the way, as Windows may do to it. The count arguments it was
// composed from come with it, a null pointer after them as after main's: a system that
// starts a child from an argument vector gives it these, which are what the child's C
// runtime would read back from the line.
ChildEnd runChild(ArgChar* commandLine, int count, ArgChar* const* arguments);
#ifdef _WIN32
// Windows starts the child from the command line alone.
ChildEnd runChild(ArgChar* commandLine);
inline ChildEnd runChild(ArgChar* commandLine, int, ArgChar* const*) { return runChild(commandLine); }
#endif

// Holds the window open until a key is pressed; returns at once when there is no
// terminal that shows the output, when the launcher is not the terminal's foreground job,
// or when it has been asked to end.
void waitForKey();
