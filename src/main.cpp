// pimbrel: runs a program in this console for an IDE, reports how it ended and how long it
// took, and keeps the window open until a key is pressed.

#include <cstdint>
#include <cstdlib>

#include "compose.h"
#include "platform.h"
#include "texts.h"

// Arguments reach main exactly as typed: a star is the child's to expand, not ours.
int _CRT_glob = 0;  // NOLINT(bugprone-reserved-identifier): the name is the C runtime's

namespace {

// Exit statuses of the launcher's own, as env and timeout use them.
constexpr int noProgramNamed = 1;
constexpr int launcherFailed = 125;
constexpr int cannotRun = 126;
constexpr int notFound = 127;

// Whether an argument is this word, written in ASCII.
bool is(const ArgChar* argument, const char* word)
{
    for (; *word != '\0'; ++argument, ++word) {
        if (*argument != static_cast<ArgChar>(*word)) return false;
    }
    return *argument == 0;
}

// What the run cost, as far as the system can tell: a figure it cannot give is left out.
void sayWhatItCost(const ChildEnd& end)
{
    const bool cpu = end.cpuSeconds >= 0;
    const bool memory = end.peakMegabytes >= 0;
    if (cpu && memory) say(Stream::err, texts.cost, end.cpuSeconds, end.peakMegabytes);
    else if (cpu) say(Stream::err, texts.cpuTime, end.cpuSeconds);
    else if (memory) say(Stream::err, texts.peakMemory, end.peakMegabytes);
}

// The report of the run, and the window held open until a key is pressed.
void reportAndHold(const ChildEnd& end)
{
    say(Stream::out, texts.report, end.exitCode, static_cast<std::uint32_t>(end.exitCode), end.seconds);
    // For a learner: how a crash ended the program, in words, and what the run took. On
    // standard error, so that whatever reads the report finds it as it always was.
    if (end.start == Start::ran) {
        if (*end.ending != '\0') say(Stream::err, "%s", end.ending);
        sayWhatItCost(end);
    }
    say(Stream::out, texts.prompt);
    waitForKey();
}

}  // namespace

// Runs the command line, composed from the arguments, in this console. A child that could
// not start is said so, and ends with the status a shell gives it.
ChildEnd execute_command(ArgChar* commandLine, int count, ArgChar* const* arguments)
{
    say(Stream::out, texts.running);
    sayCommandLine(Stream::out, commandLine);
    say(Stream::out, "\n\n");

    ChildEnd end = runChild(commandLine, count, arguments);
    if (end.start == Start::notFound || end.start == Start::notRunnable) {
        say(Stream::err, texts.cannotStart, end.reason);
        end.exitCode = end.start == Start::notFound ? notFound : cannotRun;
    }
    // Never an exit code that was not read.
    if (end.start == Start::lost) {
        say(Stream::err, texts.cannotWait, end.reason);
        end.exitCode = launcherFailed;
    }
    return end;
}

namespace {

int launch(int argc, ArgChar* argv[])
{
    // The only words of the launcher's own; anything else names the program to run.
    if (argc == 2 && is(argv[1], "--help")) {
        say(Stream::out, "%s\n%s\n%s", texts.banner, texts.usage, texts.statuses);
        return 0;
    }
    if (argc == 2 && is(argv[1], "--version")) {
        say(Stream::out, "%s", texts.version);
        return 0;
    }

    claimConsole(texts.banner);
    if (argc <= 1) {
        say(Stream::out, "%s\n%s\n", texts.banner, texts.usage);
        releaseConsole();
        return noProgramNamed;
    }

    ArgChar* const commandLine = composeCommandLine(argc - 1, argv + 1);
    if (commandLine == nullptr) {
        say(Stream::err, texts.noMemory);
        releaseConsole();
        return launcherFailed;
    }

    const ChildEnd end = execute_command(commandLine, argc - 1, argv + 1);
    // Asked to end before the program started, the launcher has nothing to report.
    if (end.start != Start::endAsked) reportAndHold(end);
    releaseConsole();
    std::free(commandLine);
    return end.exitCode;
}

}  // namespace

// Windows hands a program its arguments whole only in UTF-16.
#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) { return launch(argc, argv); }
#else
int main(int argc, char* argv[]) { return launch(argc, argv); }
#endif
