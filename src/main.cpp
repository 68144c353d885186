// pimbrel: runs a program in this console for an IDE, reports how it ended and how long it
// took, and keeps the window open until a key is pressed.

#include <cstdint>
#include <initializer_list>

#include "options.h"
#include "platform.h"
#include "texts.h"

// Arguments reach main exactly as typed: a star is the child's to expand, not ours.
int _CRT_glob = 0;  // NOLINT(bugprone-reserved-identifier): the name is the C runtime's

namespace {

// Exit statuses of the launcher's own, as env and timeout use them.
constexpr int noProgramNamed = 1;
constexpr int pastALimit = 124;
constexpr int launcherFailed = 125;
constexpr int usageError = 125;
constexpr int cannotRun = 126;
constexpr int notFound = 127;

// What the run cost, as far as the system can tell: a figure it cannot give is left out.
void sayWhatItCost(const ChildEnd& end)
{
    const bool cpu = end.cpuSeconds >= 0;
    const bool memory = end.peakMegabytes >= 0;
    if (cpu && memory) say(Stream::err, texts.cost, end.cpuSeconds, end.peakMegabytes);
    else if (cpu) say(Stream::err, texts.cpuTime, end.cpuSeconds);
    else if (memory) say(Stream::err, texts.peakMemory, end.peakMegabytes);
}

// A run judged as a judge does it: past the time limit when the report's run time is over
// it, past the memory limit when the report's peak is, whoever ended the run. A figure the
// system could not give judges nothing.
Verdict judge(const ChildEnd& end, const Limits& limits)
{
    if (end.verdict != Verdict::none) return end.verdict;
    if (limits.seconds > 0 && end.seconds > limits.seconds) return Verdict::overTime;
    if (limits.megabytes > 0 && end.peakMegabytes > limits.megabytes) return Verdict::overMemory;
    return Verdict::none;
}

// The report of the run, and the window held open until a key is pressed.
void reportAndHold(const ChildEnd& end, const Limits& limits)
{
    say(Stream::out, texts.report, end.exitCode, static_cast<std::uint32_t>(end.exitCode), end.seconds);
    // For a learner: how a crash ended the program, or which limit it passed, in words, and
    // what the run took. On standard error, so that whatever reads the report finds it as
    // it always was.
    if (end.start == Start::ran) {
        if (end.verdict == Verdict::overTime) say(Stream::err, texts.overTime, limits.seconds);
        else if (end.verdict == Verdict::overMemory) say(Stream::err, texts.overMemory, limits.megabytes);
        else if (*end.ending != '\0') say(Stream::err, "%s", end.ending);
        sayWhatItCost(end);
    }
    say(Stream::out, texts.prompt);
    waitForKey();
}

}  // namespace

// Runs the command in this console, within the limits. A child that could not start is
// said so, and ends with the status a shell gives it; one past a limit, as timeout ends.
ChildEnd execute_command(Command& command, const Limits& limits)
{
    say(Stream::out, texts.running);
    sayCommandLine(Stream::out, command.line);
    say(Stream::out, "\n\n");

    ChildEnd end = runChild(command, limits);
    if (end.start == Start::notFound || end.start == Start::notRunnable) {
        say(Stream::err, texts.cannotStart, Utf8(command.arguments[0]).text(), end.reason);
        end.exitCode = end.start == Start::notFound ? notFound : cannotRun;
    }
    if (end.start == Start::refused) {
        say(Stream::err, "%s\n", end.reason);
        end.exitCode = cannotRun;
    }
    // Never an exit code that was not read.
    if (end.start == Start::lost) {
        say(Stream::err, texts.cannotWait, end.reason);
        end.exitCode = launcherFailed;
    }
    if (end.start == Start::ran) end.verdict = judge(end, limits);
    return end;
}

namespace {

// Whether a language or locale's name is of this language: "en", "en_US.UTF-8", "en:zh".
bool ofLanguage(const ArgChar* name, const char* language)
{
    const ArgChar* rest = nullptr;
    if (name == nullptr || !is(name, language, &rest)) return false;
    for (const char end : {'\0', '_', '.', '@', ':', '-'}) {
        if (*rest == static_cast<ArgChar>(end)) return true;
    }
    return false;
}

// English for those who ask for it, by PIMBREL_LANG, or on a system whose locale says which
// language the user reads, by that; for everyone else the launcher's own language, Chinese,
// which is also what whatever reads its output expects.
void speakTheUsersLanguage()
{
    const ArgChar* asked = setting("PIMBREL_LANG");
    if (!ofLanguage(asked, "en") && !ofLanguage(asked, "zh")) asked = messagesLocale();
    if (ofLanguage(asked, "en")) texts = english::texts;
}

// The help and the version end as GNU tools end them: a reader that could not take them
// all is told so, and the status says it.
int answered(bool written)
{
    if (written) return 0;
    say(Stream::err, texts.writeError, whyWritingFailed());
    return 1;
}

int launch(int argc, ArgChar* argv[])
{
    speakTheUsersLanguage();
    const Options options = readOptions(argc, argv);
    switch (options.what) {
    case Options::help:
        return answered(say(Stream::out, "%s\n%s\n%s%s", texts.usage, texts.banner, texts.options, texts.statuses));
    case Options::version:
        return answered(say(Stream::out, "%s", texts.version));
    case Options::badValue:
        say(Stream::err, texts.badValue, options.name, Utf8(options.given).text());
        return usageError;
    case Options::badSwitch:
        say(Stream::err, texts.badSwitch, options.name, Utf8(options.given).text());
        return usageError;
    case Options::unknownOption:
        say(Stream::err, texts.unknownOption, Utf8(options.given).text());
        return usageError;
    case Options::run:
        break;
    }

    claimConsole(texts.banner, options.utf8Console);
    if (options.program >= argc) {
        say(Stream::out, "%s\n%s\n", texts.banner, texts.usage);
        releaseConsole();
        return noProgramNamed;
    }

    Command command{};
    if (!prepareCommand(argc - options.program, argv + options.program, command)) {
        say(Stream::err, texts.noMemory);
        releaseConsole();
        return launcherFailed;
    }

    const ChildEnd end = execute_command(command, options.limits);
    // Asked to end before the program started, the launcher has nothing to report.
    if (end.start != Start::endAsked) reportAndHold(end, options.limits);
    releaseConsole();
    releaseCommand(command);
    return end.verdict != Verdict::none ? pastALimit : end.exitCode;
}

}  // namespace

// Windows hands a program its arguments whole only in UTF-16.
#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) { return launch(argc, argv); }
#else
int main(int argc, char* argv[]) { return launch(argc, argv); }
#endif
