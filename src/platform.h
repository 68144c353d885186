#pragma once

#include <cstddef>
#include <cstdint>

// What the launcher asks of the system it runs on. Each system answers in a folder of its
// own, a file a concern: posix/ and windows/. The system answers with facts (a status, a
// signal, an error number, a figure); the launcher's words for them are written once, in
// report.cpp, and the policy of a run (limits, verdicts) once, in run.cpp.

// What arguments and command lines are made of: bytes on POSIX systems; on Windows UTF-16,
// the only form in which every path and argument arrives whole, whatever the code page.
#ifdef _WIN32
using ArgChar = wchar_t;
#else
using ArgChar = char;
#endif

// The console ------------------------------------------------------------------------

// Takes the console for this run: gives it the title, and makes sure that neither a reader
// that went away nor a request to end that comes while the launcher writes can cost the
// report. Asked for a UTF-8 console, puts a Windows console's code pages at 65001 for the
// program (terminals elsewhere are UTF-8).
void claimConsole(const char* title, bool utf8Console);

// Leaves the console as it was found.
void releaseConsole();

// Holds the window open until a key is pressed; returns at once when there is no terminal
// that shows the output, when the launcher is not the terminal's foreground job, or when it
// has been asked to end.
void waitForKey();

// The launcher's own lines -----------------------------------------------------------

enum class Stream { out, err };

// Writes the launcher's own text (a printf format in UTF-8, filled with the figures after
// it) to its standard output or error at once, whole however long, in the form the reader
// there takes. Nothing is held back, so whatever the streams are, they show the launcher's
// lines and the child's in the order they were written. False when the stream did not take
// it all; then whyWritingFailed says why, in the user's words.
bool say(Stream stream, const char* format, ...);
const char* whyWritingFailed();

// Whether standard error goes where standard output goes: the same file, pipe, terminal or
// console (a terminal, an IDE that merges the two), so that a reader sees the lines of both
// as one text.
bool errorSharesOutput();

// The system's own snprintf, for a piece of a line: always terminated, cut to the size.
void formatted(char* text, std::size_t size, const char* format, ...);

// An argument in UTF-8, to fill a line of the launcher's own, whole.
class Utf8 {
public:
    explicit Utf8(const ArgChar* text);
    ~Utf8();  // NOLINT(performance-trivially-destructible): on Windows it frees what it converted
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;
    const char* text() const { return text_; }

private:
    const char* text_;
    char* converted_ = nullptr;
};

// The system's words for an error number (errno, or a DWORD), in the user's words where the
// launcher has its own for it; "%1" in them stands for the file they speak of.
const char* systemWords(int error);

// A signal's name, "SIGSEGV"; null where the system has no name for it, or no signals.
const char* signalName(int signal);

// Writes bytes to the launcher's standard output or error as they are: a program's output
// that passed through the launcher reads as it would have without it.
bool sayBytes(Stream stream, const char* bytes, std::size_t size);

// Files --------------------------------------------------------------------------------

// A file the launcher reads (an answer), from its opening to its closing: a descriptor on
// POSIX systems, a handle on Windows.
#ifdef _WIN32
using File = void*;
#else
using File = int;
#endif

// Opens the file to read: 0, or the system's error number when it cannot be.
int openFile(const ArgChar* path, File& file);
// Up to `size` bytes of it; 0 at its end, or where it cannot be read further.
std::size_t readFile(File file, char* text, std::size_t size);
void closeFile(File file);

// Calls `each` with every name in the folder: 0, or the system's error number when the
// folder cannot be read.
int listFolder(const ArgChar* folder, void (*each)(const ArgChar* name, void* context), void* context);

// Settings from the environment --------------------------------------------------------

// A setting from the environment, in the form arguments come in; null when it is not set.
const ArgChar* setting(const char* name);

// The languages the user reads messages in, where the system says so apart from the
// launcher's own settings: those they prefer, in order, as LANGUAGE lists them ("fr:en"),
// and the locale of messages (LC_ALL, LC_MESSAGES, LANG, the first set); each null where
// the system has none.
struct UsersLanguages {
    const ArgChar* preferred;
    const ArgChar* locale;
};
UsersLanguages usersLanguages();

// The command ------------------------------------------------------------------------

// The program to run with its arguments, as the launcher was given them. Where the system
// starts a program from one command line (Windows), that line, composed from them so that
// the child reads back exactly those arguments; the file found for the program, and whether
// it is a batch file, which cmd reads by rules of its own. Where the system passes the
// arguments one by one (POSIX), the line is only the reader's, and composed as it is shown.
struct Command {
    int count;
    ArgChar* const* arguments;
    ArgChar* line;
    ArgChar* program;
    bool batch;
};

// Readies the command to run; false when there is no memory for it. What it made goes with
// releaseCommand.
bool prepareCommand(int count, ArgChar* const* arguments, Command& command);
void releaseCommand(Command& command);

// Writes the command line, as the program reads its arguments from it.
void sayCommandLine(Stream stream, const Command& command);

// A run ------------------------------------------------------------------------------

// Whether the program started, and if not, why. A launcher asked to end before the program
// started does not start it; one that lost sight of its program cannot say how it ended.
// A command the system or cmd would misread is refused: nothing runs.
enum class Start { ran, notFound, notRunnable, refused, endAsked, lost };

// Why a command was refused before anything started.
struct Refusal {
    enum Kind {
        none,
        lineTooLong,       // longer than the system takes: `length` characters, `most` at most
        batchLineTooLong,  // a batch file's line longer than cmd reads
        batchPath,         // the batch file's own path holds what cmd would expand: `holds`
        batchArgument,     // an argument, number `argument`, holds what cmd cannot take: `holds`
    } kind = none;
    int argument = 0;
    char holds = 0;
    unsigned length = 0, most = 0;
};

// What a program the system did not find was missing, where the system can tell (POSIX):
// the program is there, and a file it needs is not (the interpreter its "#!" line names, or
// the loader a program names); or, named without a folder and not on PATH, the program is in
// the current folder, where the system does not look.
struct Missing {
    bool neededFile;
    char interpreter[256];  // the file it needs, when its "#!" line names it, as written there
                            // (a carriage return too); empty when it does not, or it is there
    bool inCurrentFolder;
};

// The program while it runs, as the system follows it.
struct Program;

struct Started {
    Start start;
    int reason;             // why not: the system's error number; for endAsked, the signal
    Refusal refusal;        // why it was refused
    Missing missing;        // what it was missing, when it was not found
    double seconds;         // when it did not start, how long trying took
    Program* program;       // when it runs: until finishProgram
};

// Where the program's standard input comes from, when not from the launcher's, and whether
// its standard output comes to the launcher (to be judged) instead of going where the
// launcher's goes.
struct Plumbing {
    const ArgChar* input = nullptr;
    bool captureOutput = false;
};

// Starts the command as the launcher's child in this console, with the launcher's
// environment, directory and streams, but those the plumbing changes. With `wholeTree`,
// everything the program starts is followed too, to be measured and ended with it (the
// limits and the judge need it); without, the program runs as under a shell, and nothing
// watches it.
Started startProgram(Command& command, bool wholeTree, const Plumbing& plumbing);

// The seconds since the program was created, by a clock that no setting of the time moves.
double secondsRunning(const Program& program);

// Waits until the program ends, or until it has run `until` seconds (below 0: however long
// it takes), or until its captured output has more to read. Meanwhile a caller's request to
// end is passed on to it, and its stops are followed as a shell follows its job. `lost`: the
// system no longer tells how it is (its error number in `reason`).
enum class Awaited { ended, timedOut, output, lost };
Awaited awaitProgram(Program& program, double until, int& reason);

// The program's captured output: what has come (a view of the launcher's own buffer, valid
// until the next call) and its size; 0 at its end, once everything that could write it has
// ended; below 0 when nothing has come yet and `wait` is false.
std::ptrdiff_t readOutput(Program& program, const char*& bytes, bool wait);

// The resident memory of the program and everything it started, now, in MiB: the sum of
// what each holds, or more where the system keeps a higher mark of its own. Below 0 when the
// system cannot tell.
double treeMegabytes(Program& program);

// Ends the program and everything it started, at once, with nothing it can hold it off by.
void endTree(Program& program);

// How the program ended, as the system tells it, and what its run cost.
struct Ending {
    std::int32_t exitCode;  // what it ended with; killed by a signal, 128 + the signal, as shells say
    int signal;             // the signal that killed it, else 0
    bool coreDumped;
    double cpuSeconds;      // its user and system time, and that of all it started and that
                            // ended; below 0 when the system cannot tell
    double peakMegabytes;   // the system's own figure for its peak resident memory; below 0
                            // when it keeps none
    bool askedToEnd;        // a caller asked the launcher to end meanwhile: no key wait
};

// Reaps what the program left, when its whole tree was followed, and lets it go: the
// program is gone afterwards.
Ending finishProgram(Program* program);
