// The launcher's words for a run. Each line goes out in one piece, so that whatever the
// streams are, a line of the launcher's is never split by one of the program's.

#include "report.h"

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
        say(Stream::err, Format(texts.killedByUnnamed).then("%s").text(), signal, core);
        return;
    }
    const SignalWords* const known =
        find(texts.signalWords, [name](const SignalWords& words) { return std::strcmp(words.name, name) == 0; });
    if (known == nullptr) say(Stream::err, Format(texts.killedBy).then("%s").text(), signal, name, core);
    else say(Stream::err, Format(texts.killedBy).then(texts.words).then("%s").text(), signal, name, known->words, core);
}

// An exit status that is no program's own choice (Windows gives them: an access violation,
// a stack overflow): what it means, where that can be said. Only a status of the system's
// form (severity error, neither a customer's code nor reserved: 0xC...) is one; a program's
// own -1, 3, 139 or 0x80004005 is left alone.
void sayCrashed(std::uint32_t status)
{
    const StatusWords* const known =
        find(texts.statusWords, [status](const StatusWords& words) { return words.status == status; });
    if (known != nullptr) say(Stream::err, texts.crashed, known->words, known->name);
    else if ((status & 0xF0000000) == 0xC0000000) say(Stream::err, texts.crashedUnknown, static_cast<unsigned>(status));
}

// What the run cost, as far as the system can tell: a figure it cannot give is left out.
void sayWhatItCost(const Ending& ending)
{
    const bool cpu = ending.cpuSeconds >= 0, memory = ending.peakMegabytes >= 0;
    if (cpu && memory) say(Stream::err, texts.cost, ending.cpuSeconds, ending.peakMegabytes);
    else if (cpu) say(Stream::err, texts.cpuTime, ending.cpuSeconds);
    else if (memory) say(Stream::err, texts.peakMemory, ending.peakMegabytes);
}

// How the run ended when not by itself, or which limit it passed; and that the memory limit
// could not be kept, where the system gave no figure.
void sayHowItEnded(const ChildEnd& end, const Limits& limits)
{
    const Ending& ending = end.ending;
    if (end.verdict == Verdict::overTime) say(Stream::err, texts.overTime, limits.seconds);
    else if (end.verdict == Verdict::overMemory) say(Stream::err, texts.overMemory, limits.megabytes);
    else if (ending.signal != 0) sayKilledBy(ending.signal, ending.coreDumped);
    else sayCrashed(static_cast<std::uint32_t>(ending.exitCode));
    // Never a verdict from a figure that was not read.
    if (limits.megabytes > 0 && ending.peakMegabytes < 0) say(Stream::err, "%s", texts.cannotMeasure);
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
        } else {
            const char* const escape = c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
            if (escape != nullptr) {
                std::memcpy(into + used, escape, 2);
                used += 2;
            } else {
                formatted(into + used, 5, "\\x%02X", c);
                used += 4;
            }
        }
    }
    if (cut && used + 4 < size) {
        std::memcpy(into + used, "...", 3);
        used += 3;
    }
    into[used] = '\0';
    return into;
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
        say(Stream::err, texts.cannotStart, Utf8(command.arguments[0]).text(), reason);
        return;
    case Refusal::batchPath:
        say(Stream::err, Format(texts.refusedBatchPath).then("\n").text(), Utf8(command.program).text());
        return;
    case Refusal::batchArgument: {
        const char quoted[] = {'"', refusal.holds, '"', '\0'};
        const char* const what = refusal.holds == '\r' ? texts.carriageReturn : refusal.holds == '\n' ? texts.lineFeed : quoted;
        say(Stream::err, Format(texts.refusedForBatch).then("\n").text(), refusal.argument, what);
        return;
    }
    case Refusal::none:
        return;
    }
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
    // Some of the system's words name the file they speak of as "%1" ("%1 is not a valid
    // Win32 application."): it is the program.
    const Utf8 program(command.arguments[0]);
    const char* const file = std::strstr(words, "%1");
    if (file == nullptr) {
        say(Stream::err, texts.cannotStart, program.text(), words);
        return;
    }
    const std::size_t before = static_cast<std::size_t>(file - words), name = std::strlen(program.text());
    char* const reason = static_cast<char*>(std::malloc(std::strlen(words) + name + 1));
    if (reason == nullptr) {
        say(Stream::err, texts.cannotStart, program.text(), words);
        return;
    }
    std::memcpy(reason, words, before);
    std::memcpy(reason + before, program.text(), name);
    std::memcpy(reason + before + name, file + 2, std::strlen(file + 2) + 1);
    say(Stream::err, texts.cannotStart, program.text(), reason);
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
    if (judgement != Judgement::wrongAnswer || comparison == nullptr) {
        say(Stream::err, "\n%s %s", verdict.code, verdict.words());
        return;
    }
    const long line = comparison->line();
    switch (comparison->result()) {
    case Comparison::Result::differs: {
        char expected[1024], received[1024];
        say(Stream::err, Format("\n%s %s").then(texts.lineDiffers).text(), verdict.code, verdict.words(), line,
            shown(comparison->expected(), comparison->expectedCut(), expected, sizeof expected),
            shown(comparison->received(), comparison->receivedCut(), received, sizeof received));
        return;
    }
    case Comparison::Result::endedEarly:
        say(Stream::err, Format("\n%s %s").then(texts.endedEarly).text(), verdict.code, verdict.words(), line);
        return;
    case Comparison::Result::wentOn:
        say(Stream::err, Format("\n%s %s").then(texts.wentOn).text(), verdict.code, verdict.words(), line);
        return;
    case Comparison::Result::same:
        say(Stream::err, "\n%s %s", verdict.code, verdict.words());
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
    say(Stream::err, Format(texts.caseName).then("%s%s%s").text(), Utf8(name).text(), verdict, time, memory);
    // What the verdict needs said: where the answer is wrong, how the run ended or which
    // limit it passed.
    if (judgement == nullptr || *judgement == Judgement::accepted) return;
    if (*judgement == Judgement::wrongAnswer) sayVerdict(*judgement, comparison);
    else sayHowItEnded(end, limits);
}

void saySummary(int passed, int judged) { say(Stream::err, texts.passed, passed, judged); }
