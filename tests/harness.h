#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

// Runs the real launcher binary and captures what a user or an IDE would see.
//
// The same tests run against two targets: the launcher built for this system, and the
// launcher built for Windows, run under wine (PIMBREL_WINDOWS=1). What differs between
// them is said here, and the tests pick their rows with `onWindows`.

inline constexpr bool onWindows = PIMBREL_WINDOWS;

using Words = std::vector<std::string>;

// The locale the launcher runs in, and what the test's arguments are written in. Under
// wine the locale decides the ANSI code page: the bytes a child that reads narrow arguments
// receives (arguments written in it arrive there as these bytes), and the language of the
// system's messages. Its console, under a pseudo-terminal, is not on code page 936 in the
// western locale.
struct Locale {
    const char* name;
    const char* codePage;  // for iconv: what the arguments are written in
};
inline constexpr Locale western{"C.UTF-8", "CP1252"};
inline constexpr Locale chinese{"zh_CN.UTF-8", "GBK"};
// The same locales, for arguments written as UTF-8 text.
inline constexpr Locale westernText{"C.UTF-8", "UTF-8"};
inline constexpr Locale chineseText{"zh_CN.UTF-8", "UTF-8"};

// One of the standard streams of a process a test starts. Left unnamed, each is the
// driver's own: the terminal on a pseudo-terminal; otherwise no input, and outputs that the
// test reads.
struct Stream {
    enum Kind {
        own,
        closed,
        file,        // read as input; emptied and written as output
        pipe,        // as input, `text` (no more than a pipe holds) and then the end; as output,
                     // one that nobody reads, which the process must not fill
        brokenPipe,  // as output, one whose reader went away before the process started
    } kind = own;
    std::string text = "";  // a file's name, or what a pipe holds as input
};
struct Streams {
    Stream in = {}, out = {}, err = {};
};

// In a forked child: closes all but the standard streams, sets those up as described from
// the ones it has, runs `inChild` (to set signal dispositions, limits, the environment...)
// and execs the program in the launcher's environment for the locale.
[[noreturn]] void exec(Words words, const Locale& locale, const Streams& streams = {},
                       const std::function<void()>& inChild = {});

// The launcher under test; a test may run a copy of it from a folder of its own.
extern std::string launcherFile;

// What starts the launcher with these arguments, written in the locale's code page.
Words launcher(const Words& arguments, const Locale& locale);

// Waits for the process: its exit status, or 128 + the signal it died of.
int reap(pid_t pid);

// The launcher without a terminal, in a session of its own, driven while it runs: what it
// writes to the outputs that are the driver's own is read into `out` and `err`.
class Launch {
public:
    explicit Launch(const Words& arguments, const Streams& streams = {}, const Locale& locale = western,
                    const std::function<void()>& inChild = {});
    ~Launch();
    // Reads until its output holds the text; false if the output ended first.
    bool waitFor(const std::string& text);
    // The reader of its standard output goes away.
    void stopReading() { close(out_), out_ = -1; }
    // Reads to the end and returns its exit status, or 128 + the signal it died of.
    int end();

    pid_t pid = -1;
    std::string out, err;

private:
    bool readSome();

    int out_ = -1, err_ = -1;
    bool ended_ = false;
};

struct Outcome {
    std::string out;
    std::string err;
    int status;  // the exit status, or 128 + the signal the launcher died of
};

// The launcher with these arguments, run to its end with the driver's own streams.
Outcome runLauncher(const Words& arguments, const Locale& locale = western);

// How the launcher names a file of this system (under wine: Z:\ and backslashes).
std::string launcherName(const std::filesystem::path& file);

// A scratch folder of the test's own, removed with it.
struct Scratch {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("pimbrel-test-" + std::to_string(getpid()));
    Scratch() { std::filesystem::create_directories(path); }
    ~Scratch() { std::filesystem::remove_all(path); }
};

// A helper program built beside the tests: its file here, and its name for the launcher.
std::filesystem::path helperFile(const std::string& name);
std::string helper(const std::string& name);

// What programs end in, and what the usage calls the launcher.
extern const std::string executableSuffix;
extern const std::string usageName;

// Bytes as a text-mode stream writes them: on Windows each line feed becomes CR LF.
std::string written(const std::string& bytes);

// What the launcher prints, in the bytes of the system it runs on, from UTF-8 text: on
// Windows GBK, where a character that GBK lacks is a '?'.
std::string shown(const std::string& utf8);

// The helper that reads its arguments as characters (in UTF-16, on Windows), and what it
// prints of one given as UTF-8: the bytes of its UTF-16 units on Windows, elsewhere the same.
extern const std::string textChild;
std::string unitsOf(const std::string& utf8);

// The output with the run time in the report line replaced by "<t>", after checking that
// it is a figure with three decimals; and that figure.
std::string withoutTime(const std::string& out);
double runTimeIn(const std::string& out);

// The launcher's last line on standard error, what the child's run cost, after checking
// its form and that standard error, apart from standard output, holds whole lines: the
// figures it gives (a figure it leaves out is below 0), and all that stands on standard
// error before it.
struct Cost {
    std::string before;
    double cpuSeconds = -1;
    double peakMegabytes = -1;
};
Cost costIn(const std::string& err);

// The arguments a child received, from the lines print_args wrote.
Words receivedArguments(const std::string& out);
