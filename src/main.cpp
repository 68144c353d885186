// pimbrel: runs a program in this console for an IDE, reports how it ended and how long it
// took, and keeps the window open until a key is pressed.

#include <cstdint>

#include "judge.h"
#include "options.h"
#include "platform.h"
#include "report.h"
#include "run.h"
#include "texts.h"

// Arguments reach main exactly as typed: a star is the child's to expand, not ours.
int _CRT_glob = 0;  // NOLINT(bugprone-reserved-identifier): the name is the C runtime's

// Runs the command in this console, within the limits, between its running line and what
// says why it did not run, when it did not.
ChildEnd execute_command(Command& command, const Limits& limits, const Plumbing& plumbing)
{
    sayRunning(command);
    const ChildEnd end = runWithin(command, limits, plumbing);
    if (end.start != Start::ran && end.start != Start::endAsked) sayWhyItDidNotRun(command, end);
    return end;
}

namespace {

// Speaks the user's language (see languageFor). A PIMBREL_LANG that names none of the
// launcher's is a mistake to say, once, in the language chosen, rather than to pass over.
void speakTheUsersLanguage()
{
    const ArgChar* const asked = setting("PIMBREL_LANG");
    if (languageFor(asked, usersLanguages()) == Language::english) texts = english::texts;
    if (asked != nullptr && *asked != 0 && !speaks(asked)) say(Stream::err, texts.badLanguage, Utf8(asked).text());
}

// The help and the version end as GNU tools end them: a reader that could not take them
// all is told so, and the status says it.
int answered(bool written)
{
    if (written) return 0;
    say(Stream::err, texts.writeError, whyWritingFailed());
    return 1;
}

// What was wrong with the options or their variables, in one line.
void sayUsageError(const Options& options)
{
    const char* const expected[] = {texts.expectedSeconds, texts.expectedMegabytes, texts.expectedError,
                                    texts.expectedFile, texts.expectedFolder};
    const char* const example = expected[static_cast<int>(options.expected)];
    if (options.what == Options::missingValue) {
        say(Stream::err, texts.missingValue, options.name, example);
        return;
    }
    if (options.what == Options::together) {
        say(Stream::err, texts.together, options.name, options.other);
        return;
    }
    const Utf8 given(options.given);
    switch (options.what) {
    case Options::badValue: say(Stream::err, texts.badValue, options.name, given.text(), example); break;
    case Options::tooLarge: say(Stream::err, texts.tooLarge, options.name, given.text(), largestValue); break;
    case Options::badSwitch: say(Stream::err, texts.badSwitch, options.name, given.text()); break;
    default: say(Stream::err, texts.unknownOption, given.text()); break;
    }
}

int launch(int argc, ArgChar* argv[])
{
    speakTheUsersLanguage();
    Options options = readOptions(argc, argv);
    switch (options.what) {
    case Options::help:
        return answered(say(Stream::out, "%s\n%s\n%s%s", texts.usage, texts.banner, texts.options, texts.statuses));
    case Options::version:
        return answered(say(Stream::out, "%s", texts.version));
    case Options::run:
        break;
    default:
        sayUsageError(options);
        return status::usageError;
    }

    // What the program is to be judged by must be there to read before anything runs.
    const bool named = options.program < argc;
    if (named && !readyToJudge(options.judging, argv[options.program])) return status::usageError;

    claimConsole(texts.banner, options.utf8Console);
    if (!named) {
        say(Stream::out, "%s\n%s\n", texts.banner, texts.usage);
        say(Stream::err, "%s", texts.seeHelp);
        releaseConsole();
        return status::noProgramNamed;
    }

    Command command{};
    if (!prepareCommand(argc - options.program, argv + options.program, command)) {
        say(Stream::err, texts.noMemory);
        releaseConsole();
        return status::launcherFailed;
    }

    int exit = 0;
    if (options.judging.answer != nullptr || options.judging.folder != nullptr) {
        exit = judge(command, options);
    } else {
        const ChildEnd end = execute_command(command, options.limits, {options.judging.input, false});
        // Asked to end before the program started, or while it ran, the launcher reports
        // what it knows and lingers no more.
        if (end.start != Start::endAsked) {
            sayReport(end, options.limits);
            sayPrompt();
            if (!end.ending.askedToEnd) waitForKey();
        }
        exit = exitStatus(end);
    }
    releaseConsole();
    releaseCommand(command);
    return exit;
}

}  // namespace

// Windows hands a program its arguments whole only in UTF-16.
#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) { return launch(argc, argv); }
#else
int main(int argc, char* argv[]) { return launch(argc, argv); }
#endif
