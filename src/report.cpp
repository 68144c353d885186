// The launcher's words for a run. Each line goes out in one piece, so that whatever the
// streams are, a line of the launcher's is never split by one of the program's.

#include "report.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "texts.h"

namespace {

// A printf format joined from the launcher's own texts, such as a signal's line and its
// words: never from what the user gave, so it holds only the conversions the texts hold.
class Format {
public:
    explicit Format(const char* first) { then(first); }
    Format& then(const char* more)
    {
        const std::size_t room = sizeof text_ - used_ - 1, length = std::strlen(more);
        const std::size_t taken = length < room ? length : room;
        std::memcpy(text_ + used_, more, taken);
        used_ += taken;
        text_[used_] = '\0';
        return *this;
    }
    const char* text() const { return text_; }

private:
    char text_[512]{};
    std::size_t used_ = 0;
};

// A line of the report's after the report line, on standard error. Where standard error
// shares standard output's file or terminal, it follows the report line there as it always
// has: a line break before it and none after, which the next line puts. Elsewhere it is a
// line of its own, whole: nothing before it and a line break at its end, so that a file of
// standard error starts with no empty line, and a shell's prompt after it starts a line.
template <typename... Figures>
void sayAfterReport(const Format& line, Figures... figures)
{
    const bool shared = errorSharesOutput();
    say(Stream::err, Format(shared ? "\n" : "").then(line.text()).then(shared ? "" : "\n").text(), figures...);
}

// A line of its own on standard error, whatever the streams are.
Format wholeLine(const char* text) { return Format(text).then("\n"); }

template <typename Words, typename Key>
const Words* find(std::span<const Words> table, Key matches)
{
    for (const Words& known : table) {
        if (matches(known)) return &known;
    }
    return nullptr;
}

// A signal killed the program: its number and name, and what it means to one who is
// learning, where that can be said.
void sayKilledBy(int signal, bool coreDumped)
{
    const char* const core = coreDumped ? texts.coreDumped : "";
    const char* const name = signalName(signal);
    if (name == nullptr) {
        sayAfterReport(Format(texts.killedByUnnamed).then("%s"), signal, core);
        return;
    }
    const SignalWords* const known =
        find(texts.signalWords, [name](const SignalWords& words) { return std::strcmp(words.name, name) == 0; });
    if (known == nullptr) sayAfterReport(Format(texts.killedBy).then("%s"), signal, name, core);
    else sayAfterReport(Format(texts.killedBy).then(texts.words).then("%s"), signal, name, known->words, core);
}

// An exit status that is no program's own choice (Windows gives them: an access violation,
// a stack overflow): what it means, where that can be said. Only a status of the system's
// form (severity error, neither a customer's code nor reserved: 0xC...) is one; a program's
// own -1, 3, 139 or 0x80004005 is left alone.
void sayCrashed(std::uint32_t status)
{
    const StatusWords* const known =
        find(texts.statusWords, [status](const StatusWords& words) { return words.status == status; });
    if (known != nullptr) sayAfterReport(Format(texts.crashed), known->words, known->name);
    else if ((status & 0xF0000000) == 0xC0000000) sayAfterReport(Format(texts.crashedUnknown), static_cast<unsigned>(status));
}

// What the run cost, as far as the system can tell: a figure it cannot give is left out.
void sayWhatItCost(const Ending& ending)
{
    const bool cpu = ending.cpuSeconds >= 0, memory = ending.peakMegabytes >= 0;
    if (cpu && memory) sayAfterReport(Format(texts.cost), ending.cpuSeconds, ending.peakMegabytes);
    else if (cpu) sayAfterReport(Format(texts.cpuTime), ending.cpuSeconds);
    else if (memory) sayAfterReport(Format(texts.peakMemory), ending.peakMegabytes);
}

// The exit code the report shows: the program's, or the launcher's when it did not run.
std::int32_t reportedCode(const ChildEnd& end) { return end.start == Start::ran ? end.ending.exitCode : exitStatus(end); }

// Why the launcher did not start the command: what the system or cmd would have misread.
void sayRefusal(const Command& command, const Refusal& refusal)
{
    char reason[256];
    switch (refusal.kind) {
    case Refusal::lineTooLong:
    case Refusal::batchLineTooLong:
        formatted(reason, sizeof reason, refusal.kind == Refusal::lineTooLong ? texts.tooLong : texts.tooLongForBatch,
                  refusal.length, refusal.most);
        say(Stream::err, wholeLine(texts.cannotStart).text(), Utf8(command.arguments[0]).text(), reason);
        return;
    case Refusal::batchPath:
        say(Stream::err, wholeLine(texts.refusedBatchPath).text(), Utf8(command.program).text());
        return;
    case Refusal::batchArgument: {
        const char quoted[] = {'"', refusal.holds, '"', '\0'};
        const char* const what = refusal.holds == '\r' ? texts.carriageReturn : refusal.holds == '\n' ? texts.lineFeed : quoted;
        say(Stream::err, wholeLine(texts.refusedForBatch).text(), refusal.argument, what);
        return;
    }
    case Refusal::none:
        return;
    }
}

// A program that is there but cannot start for want of a file it needs. The interpreter its
// "#!" line names is shown as C writes a string, so that a control character in it shows:
// the carriage return of a script saved with Windows line ends, which the system took for
// part of the name.
void sayNeededFile(const char* program, const Missing& missing)
{
    const char* const interpreter = missing.interpreter;
    if (*interpreter == '\0') {
        say(Stream::err, wholeLine(texts.cannotStart).text(), program, texts.neededFile);
        return;
    }
    char shown[4 * sizeof missing.interpreter + 1];
    char* to = shown;
    for (const char* at = interpreter; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte == '\r') {
            *to++ = '\\';
            *to++ = 'r';
        } else if (byte < 0x20 || byte == 0x7F) {
            formatted(to, 5, "\\x%02X", byte);
            to += 4;
        } else {
            *to++ = *at;
        }
    }
    *to = '\0';
    const bool windowsLineEnds = interpreter[std::strlen(interpreter) - 1] == '\r';
    char reason[sizeof shown + 256];
    formatted(reason, sizeof reason, Format(texts.noInterpreter).then(windowsLineEnds ? texts.windowsLineEnds : "").text(),
              shown);
    say(Stream::err, wholeLine(texts.cannotStart).text(), program, reason);
}

// The decimals a limit is shown with: those it was given with, so that 0.0005 s is no 0.000 s,
// but no fewer than the report's figures have, and no more than nine.
int decimalsOf(int given, int least) { return given < least ? least : given > 9 ? 9 : given; }

// How the run ended when not by itself, or which limit it passed; and that the memory limit
// could not be kept, where the system gave no figure.
void sayHowItEnded(const ChildEnd& end, const Limits& limits)
{
    const Ending& ending = end.ending;
    // A run the launcher ended is said to be ended, which its exit code (137, 1) does not say.
    if (end.verdict == Verdict::overTime) {
        sayAfterReport(Format(end.endedAtLimit ? texts.endedAtTime : texts.overTime),
                       decimalsOf(limits.secondsDecimals, 3), limits.seconds);
    } else if (end.verdict == Verdict::overMemory) {
        sayAfterReport(Format(end.endedAtLimit ? texts.endedAtMemory : texts.overMemory),
                       decimalsOf(limits.megabytesDecimals, 1), limits.megabytes);
    } else if (ending.signal != 0) {
        sayKilledBy(ending.signal, ending.coreDumped);
    } else {
        sayCrashed(static_cast<std::uint32_t>(ending.exitCode));
    }
    // Never a verdict from a figure that was not read.
    if (limits.megabytes > 0 && ending.peakMegabytes < 0) sayAfterReport(Format("%s"), texts.cannotMeasure);
}

// A judge's verdicts, by their short names as judges show them, and in words.
struct Verdicts {
    const char* code;
    const char* Texts::*text;
    const char* words() const { return texts.*text; }
};
constexpr Verdicts verdicts[] = {
    {"AC", &Texts::accepted},
    {"WA", &Texts::wrongAnswer},
    {"RE", &Texts::runtimeError},
    {"TLE", &Texts::timeLimitExceeded},
    {"MLE", &Texts::memoryLimitExceeded},
};

// A line of the program's or of its answer, as it can be shown in a line of the launcher's:
// what does not show (a tab, a carriage return) as its escape, and a line cut short as such.
const char* shown(const char* text, bool cut, char* into, std::size_t size)
{
    std::size_t used = 0;
    for (; *text != '\0' && used + 5 < size; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c >= 0x20 && c != 0x7F) {
            into[used++] = *text;
        } else if (c == '\t' || c == '\r') {
            into[used++] = '\\';
            into[used++] = c == '\t' ? 't' : 'r';
        } else {
            formatted(into + used, 5, "\\x%02X", c);
            used += 4;
        }
    }
    if (cut && used + 4 < size) {
        std::memcpy(into + used, "...", 3);
        used += 3;
    }
    into[used] = '\0';
    return into;
}

}  // namespace

void sayRunning(const Command& command)
{
    say(Stream::out, "%s", texts.running);
    sayCommandLine(Stream::out, command);
    say(Stream::out, "\n\n");
}

void sayWhyItDidNotRun(const Command& command, const ChildEnd& end)
{
    if (end.start == Start::refused) {
        sayRefusal(command, end.refusal);
        return;
    }
    const char* const words = systemWords(end.reason);
    if (end.start == Start::lost) {
        say(Stream::err, texts.cannotWait, words);
        return;
    }
    const Utf8 program(command.arguments[0]);
    if (end.missing.neededFile) {
        sayNeededFile(program.text(), end.missing);
        return;
    }
    if (end.missing.inCurrentFolder) {
        say(Stream::err, Format(texts.cannotStart).then(texts.inCurrentFolder).then("\n").text(), program.text(), words,
            program.text());
        return;
    }
    // Some of the system's words name the file they speak of as "%1" ("%1 is not a valid
    // Win32 application."): it is the program.
    const Format cannotStart = wholeLine(texts.cannotStart);
    const char* const file = std::strstr(words, "%1");
    if (file == nullptr) {
        say(Stream::err, cannotStart.text(), program.text(), words);
        return;
    }
    const std::size_t before = static_cast<std::size_t>(file - words), name = std::strlen(program.text());
    char* const reason = static_cast<char*>(std::malloc(std::strlen(words) + name + 1));
    if (reason == nullptr) {
        say(Stream::err, cannotStart.text(), program.text(), words);
        return;
    }
    std::memcpy(reason, words, before);
    std::memcpy(reason + before, program.text(), name);
    std::memcpy(reason + before + name, file + 2, std::strlen(file + 2) + 1);
    say(Stream::err, cannotStart.text(), program.text(), reason);
    std::free(reason);
}

void sayReport(const ChildEnd& end, const Limits& limits)
{
    const std::int32_t code = reportedCode(end);
    say(Stream::out, texts.report, code, static_cast<std::uint32_t>(code), end.seconds);
    // For a learner: how a crash ended the program, or which limit it passed, in words, and
    // what the run took. On standard error, so that whatever reads the report finds it as
    // it always was.
    if (end.start != Start::ran) return;
    sayHowItEnded(end, limits);
    sayWhatItCost(end.ending);
}

void sayPrompt() { say(Stream::out, texts.prompt); }

void sayVerdict(Judgement judgement, const Comparison* comparison)
{
    const Verdicts& verdict = verdicts[static_cast<int>(judgement)];
    const Format head("%s %s");
    if (judgement != Judgement::wrongAnswer || comparison == nullptr) {
        sayAfterReport(head, verdict.code, verdict.words());
        return;
    }
    const long line = comparison->line();
    switch (comparison->result()) {
    case Comparison::Result::differs: {
        char expected[1024], received[1024];
        sayAfterReport(Format(head).then(texts.lineDiffers), verdict.code, verdict.words(), line,
                       shown(comparison->expected(), comparison->expectedCut(), expected, sizeof expected),
                       shown(comparison->received(), comparison->receivedCut(), received, sizeof received));
        return;
    }
    case Comparison::Result::endedEarly:
        sayAfterReport(Format(head).then(texts.endedEarly), verdict.code, verdict.words(), line);
        return;
    case Comparison::Result::wentOn:
        sayAfterReport(Format(head).then(texts.wentOn), verdict.code, verdict.words(), line);
        return;
    case Comparison::Result::same:
        sayAfterReport(head, verdict.code, verdict.words());
        return;
    }
}

void sayCase(const ArgChar* name) { say(Stream::out, texts.caseStarts, Utf8(name).text()); }

void sayCaseEnd(const ArgChar* name, const ChildEnd& end, const Limits& limits, const Judgement* judgement,
                const Comparison* comparison)
{
    char verdict[16] = "", time[64], memory[64] = "";
    if (judgement != nullptr) formatted(verdict, sizeof verdict, " %s", verdicts[static_cast<int>(*judgement)].code);
    formatted(time, sizeof time, texts.caseTime, end.seconds);
    if (end.ending.peakMegabytes >= 0) formatted(memory, sizeof memory, texts.caseMemory, end.ending.peakMegabytes);
    sayAfterReport(Format(texts.caseName).then("%s%s%s"), Utf8(name).text(), verdict, time, memory);
    // What the verdict needs said: where the answer is wrong, how the run ended or which
    // limit it passed.
    if (judgement == nullptr || *judgement == Judgement::accepted) return;
    if (*judgement == Judgement::wrongAnswer) sayVerdict(*judgement, comparison);
    else sayHowItEnded(end, limits);
}

void saySummary(int passed, int judged) { sayAfterReport(Format(texts.passed), passed, judged); }
