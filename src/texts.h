#pragma once

// Everything the launcher says, in UTF-8, in its own language, Chinese, and in English for
// those who ask for it; the words themselves are in texts.cpp. Terminals of POSIX systems read it as it is. On Windows it goes to
// a console as characters, whatever the console's code page, and to a file or pipe as GBK
// (code page 936), the bytes that whatever captures the launcher's output has always read.
// Where a text is a printf format, its comment names what fills it. A line that says what
// went wrong starts with the launcher's name, as GNU tools' lines do; the lines of the
// report do not.

#include <cstdint>
#include <span>

// What a signal that ended a child means, for those a learner meets.
struct SignalWords {
    const char* name;
    const char* words;
};

// What an exit status of Windows that is no program's own choice means.
struct StatusWords {
    std::uint32_t status;
    const char* name;
    const char* words;
};

// Why a program could not be started, or a line written, by the name of the system's
// error number (ENOENT); a reason without words here is said as the system says it.
struct ErrorWords {
    const char* name;
    const char* words;
};

struct Texts {
    // Who the launcher is, and how it is used.
    const char* banner;         // the console title, and the first line of the usage
    const char* usage;
    const char* options;        // what --help adds to the usage: the options, the variables,
    const char* statuses;       // the exit statuses
    const char* version;
    const char* seeHelp;        // after the usage, when no program was named
    const char* badValue;       // the option's or variable's name, the value given, what is expected
    const char* tooLarge;       // the option's or variable's name, the value given, the largest
    const char* missingValue;   // the option's name, what is expected
    const char* expectedSeconds;  // what each kind of option expects
    const char* expectedMegabytes;
    const char* expectedError;
    const char* expectedFile;
    const char* expectedFolder;
    const char* badSwitch;      // the variable's name, the value given: neither 1 nor 0
    const char* unknownOption;  // the option given
    const char* badLanguage;    // PIMBREL_LANG's value, which names no language of the launcher's
    const char* writeError;     // why the help or the version could not be written

    // A run.
    const char* running;          // before the command line, which an empty line follows
    const char* report;           // the exit code, the same bits in hex, the seconds
    const char* prompt;
    const char* cannotStart;      // the program as given, why
    const char* neededFile;       // why: the program is there, a file it needs is not
    const char* noInterpreter;    // why: the interpreter its "#!" line names is not there
    const char* windowsLineEnds;  // after that, when the name ends in a carriage return
    const char* inCurrentFolder;  // after why, for a program in the current folder: its name
    const char* tooLong;          // the command line's length and the most the system takes, in characters
    const char* tooLongForBatch;  // the line's length and the most cmd reads, in characters
    const char* refusedForBatch;  // the argument's number, what it holds
    const char* refusedBatchPath;  // the batch file's path, which holds a '%'
    const char* carriageReturn;   // what it holds, when it is a line break
    const char* lineFeed;
    const char* noMemory;
    const char* cannotWait;  // why

    // How a child ended that did not end normally, and what its run cost: each a line of
    // its own after the report, whose line breaks are put where it is written (report.cpp).
    const char* killedBy;          // the signal's number and name, then its words or none
    const char* killedByUnnamed;   // the number of a signal the system has no name for
    const char* words;             // what they mean
    const char* coreDumped;
    const char* crashed;           // the status's words and name
    const char* crashedUnknown;    // the status, of the system's form 0xC...
    const char* cost;              // the CPU seconds, the peak megabytes
    const char* cpuTime;           // the CPU seconds, where the peak memory is not known
    const char* peakMemory;        // the peak megabytes, where the CPU time is not known

    // A run past a limit, said as a judge says it, in place of how it ended: one the
    // launcher ended at the limit, or one whose figure went over it as it ended by itself.
    const char* endedAtTime;       // the limit in seconds, with its decimals before it
    const char* overTime;          // the same
    const char* endedAtMemory;     // the limit in megabytes, with its decimals before it
    const char* overMemory;        // the same
    const char* cannotMeasure;     // the system has no figure: the memory limit was not kept

    // Judging, as a judge judges a contest's samples.
    const char* cannotRead;        // the file or folder, why
    const char* noCases;           // the folder
    const char* together;          // the two options
    const char* caseStarts;        // the case's name, on a line before its output
    const char* caseName;          // the case's name, to begin its line after the run
    const char* caseTime;          // the run time in seconds, in that line
    const char* caseMemory;        // the peak memory in megabytes, in that line
    const char* accepted;          // the words of each verdict
    const char* wrongAnswer;
    const char* runtimeError;
    const char* timeLimitExceeded;
    const char* memoryLimitExceeded;
    const char* lineDiffers;       // the line's number, what it should hold, what it holds
    const char* endedEarly;        // the line's number
    const char* wentOn;            // the line's number
    const char* passed;            // how many cases passed, of how many judged

    std::span<const SignalWords> signalWords;
    std::span<const StatusWords> statusWords;
    std::span<const ErrorWords> errorWords;
};

namespace chinese {
extern const Texts texts;
}  // namespace chinese

namespace english {
extern const Texts texts;
}  // namespace english

// The texts of the user's language, once chosen (see main.cpp); Chinese until then.
extern Texts texts;
