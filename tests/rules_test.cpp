// The launcher's rules, in process, without starting anything: the watch over a run against
// a program that a script plays (its clock, its memory, its end), the verdict and the report's
// lines, the reading of the options and the language, and the width of the texts.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "options.h"
#include "platform.h"
#include "report.h"
#include "run.h"
#include "texts.h"

// A program as a script plays it ------------------------------------------------------

struct Program {
    double now = 0;
    bool ended = false;
    bool written = false;  // output has come, not read yet
};

namespace {

struct Script {
    Start start = Start::ran;
    int reason = 0;
    double endsAt = -1;                                // when it ends by itself; below 0: never
    std::function<double(double)> memory = [](double) { return 1.0; };  // MiB at a time
    double kernelPeak = -1;                            // the system's own figure at the end
    bool lostAt = false;                               // the system loses sight of it at once
    bool writesWithoutPause = false;                   // output comes every millisecond
};

Script script;
Program program;
std::vector<double> ends;    // when the tree was ended
std::vector<double> waits;   // the deadline of each wait
std::string err;             // what the launcher said on standard error
bool shared = true;          // standard error goes where standard output goes

}  // namespace

Started startProgram(Command&, bool, const Plumbing&)
{
    program = Program{};
    Started started{};
    started.start = script.start;
    started.reason = script.reason;
    started.seconds = 0.002;
    if (script.start == Start::ran) started.program = &program;
    return started;
}

double secondsRunning(const Program& running) { return running.now; }

Awaited awaitProgram(Program& running, double until, int& reason)
{
    waits.push_back(until);
    if (script.lostAt) {
        reason = 10;
        return Awaited::lost;
    }
    if (!ends.empty()) {
        running.ended = true;
        return Awaited::ended;
    }
    if (script.writesWithoutPause && (script.endsAt < 0 || running.now + 0.001 < script.endsAt)) {
        running.now += 0.001;
        running.written = true;
        return Awaited::output;
    }
    if (script.endsAt >= 0 && (until < 0 || script.endsAt <= until)) {
        running.now = script.endsAt;
        running.ended = true;
        return Awaited::ended;
    }
    if (until < 0) {
        ADD_FAILURE() << "waited for ever on a program that never ends";
        reason = 1;
        return Awaited::lost;
    }
    // A wait that times out returns after its deadline, never before it.
    running.now = until + 1e-6;
    return Awaited::timedOut;
}

double treeMegabytes(Program& running) { return script.memory(running.now); }

std::ptrdiff_t readOutput(Program& running, const char*& bytes, bool)
{
    bytes = "x";
    if (running.ended) return 0;
    const bool written = running.written;
    running.written = false;
    return written ? 1 : -1;
}

// Ended while it runs; what is ended after its end is what it left.
void endTree(Program& running)
{
    if (!running.ended) ends.push_back(running.now);
}

Ending finishProgram(Program* running)
{
    Ending ending{};
    ending.exitCode = ends.empty() ? 0 : 137;
    ending.cpuSeconds = 0.5;
    ending.peakMegabytes = script.kernelPeak;
    EXPECT_EQ(running, &program);
    return ending;
}

bool say(Stream stream, const char* format, ...)
{
    char text[4096];
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, sizeof text, format, figures);
    va_end(figures);
    if (stream == Stream::err) err += text;
    return true;
}

void formatted(char* text, std::size_t size, const char* format, ...)
{
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, size, format, figures);
    va_end(figures);
}

bool errorSharesOutput() { return shared; }

void sayCommandLine(Stream, const Command&) {}
const char* systemWords(int error) { return error == 2 ? "%1 is not a valid Win32 application." : "no such file"; }
const char* signalName(int) { return nullptr; }
Utf8::Utf8(const char* text) : text_(text) {}
Utf8::~Utf8() = default;

// The environment the options are read with.
std::vector<std::pair<std::string, std::string>> environment;
const char* setting(const char* name)
{
    for (const auto& [variable, value] : environment) {
        if (variable == name) return value.c_str();
    }
    return nullptr;
}

namespace {

// Takes what the program writes, to count it.
struct Taken : Output {
    std::size_t bytes = 0;
    void take(const char*, std::size_t size) override { bytes += size; }
};

ChildEnd run(const Script& played, const Limits& limits)
{
    script = played;
    ends.clear();
    waits.clear();
    err.clear();
    Command command{};
    Taken taken;
    return runWithin(command, limits, {}, played.writesWithoutPause ? &taken : nullptr);
}

TEST(Watch, EndsTheRunAtTheFirstLimitItPassesAndJudgesTheRest)
{
    const auto rising = [](double at) { return at < 0.05 ? 10.0 : 80.0; };
    struct Case {
        const char* what;
        Script script;
        Limits limits;
        Verdict verdict;
        bool endedAtLimit;
        double peak;       // the cost's figure
        double endedNear;  // when the tree was ended; below 0: it was not
    };
    const Case cases[] = {
        {"no limits: one wait, for ever", {.endsAt = 2}, {0, 0}, Verdict::none, false, -1, -1},
        {"within the time limit", {.endsAt = 0.5}, {1, 0}, Verdict::none, false, 1, -1},
        {"past the time limit", {}, {1, 0}, Verdict::overTime, true, 1, 1},
        {"past the time limit, writing all the while", {.writesWithoutPause = true}, {1, 0}, Verdict::overTime, true, 1, 1},
        {"past the memory limit at a look", {.memory = rising}, {0, 64}, Verdict::overMemory, true, 80, 0.05},
        {"memory first, before the time limit", {.memory = rising}, {1, 64}, Verdict::overMemory, true, 80, 0.05},
        // The system's own figure at the end judges what the looks missed.
        {"over the memory limit between two looks", {.endsAt = 0.3, .kernelPeak = 100}, {0, 64}, Verdict::overMemory,
         false, 100, -1},
        {"no figure while it runs: the system's at the end",
         {.endsAt = 0.3, .memory = [](double) { return -1.0; }, .kernelPeak = 100}, {0, 64}, Verdict::overMemory, false,
         100, -1},
        {"no figure at all: no verdict", {.endsAt = 0.3, .memory = [](double) { return -1.0; }}, {0, 64}, Verdict::none,
         false, -1, -1},
        {"the looks saw more than the system kept", {.endsAt = 0.3, .memory = [](double) { return 50.0; }, .kernelPeak = 30},
         {0, 64}, Verdict::none, false, 50, -1},
    };
    for (const Case& c : cases) {
        const ChildEnd end = run(c.script, c.limits);
        EXPECT_EQ(end.start, Start::ran) << c.what;
        EXPECT_EQ(end.verdict, c.verdict) << c.what;
        EXPECT_EQ(end.endedAtLimit, c.endedAtLimit) << c.what;
        EXPECT_DOUBLE_EQ(end.ending.peakMegabytes, c.peak) << c.what;
        if (c.endedNear < 0) {
            EXPECT_TRUE(ends.empty()) << c.what;
        } else {
            ASSERT_EQ(ends.size(), 1U) << c.what;
            EXPECT_GT(ends[0], c.endedNear) << c.what;
            EXPECT_LT(ends[0], c.endedNear + memoryLook + 1e-3) << c.what;
            // Once ended, it is waited for until its end, whatever it takes.
            EXPECT_EQ(waits.back(), -1) << c.what;
        }
        // Never a look later than the next one due.
        for (std::size_t i = 1; i + 1 < waits.size(); ++i) {
            EXPECT_LE(waits[i] - waits[i - 1], memoryLook + 1e-5) << c.what << ", wait " << i;
        }
    }
    // Without limits nothing is looked at: the one wait is for the program's end.
    run({.endsAt = 2}, {0, 0});
    EXPECT_EQ(waits, std::vector<double>{-1});
}

TEST(Watch, ARunThatDidNotStartOrWasLostIsSaidSo)
{
    const ChildEnd notFound = run({.start = Start::notFound, .reason = 2}, {1, 64});
    EXPECT_EQ(notFound.start, Start::notFound);
    EXPECT_EQ(notFound.seconds, 0.002);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(exitStatus(notFound), 127);

    const ChildEnd lost = run({.lostAt = true}, {0, 0});
    EXPECT_EQ(lost.start, Start::lost);
    EXPECT_EQ(lost.reason, 10);
    EXPECT_EQ(exitStatus(lost), 125);
}

// The verdict as a judge gives it, and the status the launcher ends with.
TEST(Watch, TheVerdictAndTheStatus)
{
    struct Case {
        double seconds, peak;
        bool endedAtLimit;
        Verdict endedFor;
        Verdict verdict;
        int status;
    };
    const Limits limits{1, 64};
    const Case cases[] = {
        {0.9, 10, false, Verdict::none, Verdict::none, 3},
        {1.0, 64, false, Verdict::none, Verdict::none, 3},  // at a limit is not past it
        {1.001, 10, false, Verdict::none, Verdict::overTime, 124},
        {0.5, 64.1, false, Verdict::none, Verdict::overMemory, 124},
        {1.5, 100, false, Verdict::none, Verdict::overTime, 124},    // time is judged first
        {0.2, 10, true, Verdict::overMemory, Verdict::overMemory, 124},  // as it was ended
    };
    for (const Case& c : cases) {
        ChildEnd end{};
        end.start = Start::ran;
        end.seconds = c.seconds;
        end.ending.peakMegabytes = c.peak;
        end.ending.exitCode = 3;
        end.endedAtLimit = c.endedAtLimit;
        end.verdict = c.endedFor;
        end.verdict = judge(end, limits);
        EXPECT_EQ(end.verdict, c.verdict) << c.seconds << " s, " << c.peak << " MB";
        EXPECT_EQ(exitStatus(end), c.status) << c.seconds << " s, " << c.peak << " MB";
    }
}

// The lines after the report: where standard error shares standard output, they follow the
// report line as they always have; elsewhere each is a whole line. A run the launcher ended
// at a limit is said to be ended, one that went over it by itself to have gone over, with
// the limit as precise as it was given.
TEST(Report, TheLinesAfterTheReportAndTheVerdicts)
{
    const auto rising = [](double at) { return at < 0.05 ? 10.0 : 80.0; };
    struct Case {
        Script script;
        Limits limits;
        bool shared;
        const char* err;
    };
    const Case cases[] = {
        {{.endsAt = 0.3, .memory = [](double) { return -1.0; }}, {0, 64}, true,
         "\n无法测量内存峰值: 内存限制未生效\nCPU 时间 : 0.500 秒"},
        {{.endsAt = 0.3, .memory = [](double) { return -1.0; }}, {0, 64}, false,
         "无法测量内存峰值: 内存限制未生效\nCPU 时间 : 0.500 秒\n"},
        {{}, {2, 0}, false, "超出时间限制: 运行到限制的 2.000 秒时被结束\nCPU 时间 : 0.500 秒   内存峰值 : 1.0 MB\n"},
        {{}, {0.0005, 0, 4}, true, "\n超出时间限制: 运行到限制的 0.0005 秒时被结束\nCPU 时间 : 0.500 秒   内存峰值 : 1.0 MB"},
        {{.memory = rising}, {0, 64}, false, "超出内存限制: 内存超过限制的 64.0 MB 时被结束\nCPU 时间 : 0.500 秒   内存峰值 : 80.0 MB\n"},
        {{.endsAt = 0.3, .kernelPeak = 100}, {0, 64.25, 0, 2}, false,
         "超出内存限制: 内存峰值超过 64.25 MB\nCPU 时间 : 0.500 秒   内存峰值 : 100.0 MB\n"},
    };
    for (const Case& c : cases) {
        const ChildEnd end = run(c.script, c.limits);
        err.clear();
        shared = c.shared;
        sayReport(end, c.limits);
        EXPECT_EQ(err, c.err);
    }
    shared = true;
}

// A start failure in words that name the file they speak of.
TEST(Report, NamesTheProgram)
{
    char name[] = "C:\\a b\\x.exe";
    char* arguments[] = {name, nullptr};
    Command command{1, arguments, nullptr, nullptr, false};
    ChildEnd end{};
    end.start = Start::notRunnable;
    end.reason = 2;
    err.clear();
    sayWhyItDidNotRun(command, end);
    EXPECT_EQ(err, "pimbrel: 无法启动 C:\\a b\\x.exe: C:\\a b\\x.exe is not a valid Win32 application.\n");
}

// The options before the program, and the environment for an IDE whose command line cannot
// change; an option wins over its variable.
TEST(Options, AreReadBeforeTheProgramAndTheEnvironmentStandsInForThem)
{
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::pair<std::string, std::string>> environment;
        Options::What what;
        int program;
        Limits limits;
    };
    const Case cases[] = {
        {{"a.out", "--time-limit=1"}, {}, Options::run, 1, {0, 0}},
        {{"--time-limit=1.5", "a.out"}, {}, Options::run, 2, {1.5, 0, 1}},
        {{"--time-limit", "2", "--memory-limit=256", "a.out"}, {}, Options::run, 4, {2, 256}},
        {{"--", "--time-limit=1"}, {}, Options::run, 2, {0, 0}},
        {{"a.out"}, {{"PIMBREL_TIME_LIMIT", "0.5"}, {"PIMBREL_MEMORY_LIMIT", "64.50"}}, Options::run, 1, {0.5, 64.5, 1, 2}},
        {{"--time-limit=3", "a.out"}, {{"PIMBREL_TIME_LIMIT", "0.5"}}, Options::run, 2, {3, 0}},
        {{"--time-limit=3", "a.out"}, {{"PIMBREL_TIME_LIMIT", "x"}}, Options::run, 2, {3, 0}},
        {{"--time-limit=0.0005", "a.out"}, {}, Options::run, 2, {0.0005, 0, 4}},
        {{"--memory-limit=1000000000", "a.out"}, {}, Options::run, 2, {0, 1e9}},
        {{"a.out"}, {{"PIMBREL_MEMORY_LIMIT", "64MB"}}, Options::badValue, 0, {0, 0}},
        {{"--time-limit=0", "a.out"}, {}, Options::badValue, 0, {0, 0}},
        {{"--memory-limit=1000000000.5", "a.out"}, {}, Options::tooLarge, 0, {0, 0}},
        {{"a.out"}, {{"PIMBREL_TIME_LIMIT", "99999999999"}}, Options::tooLarge, 0, {0, 0}},
        {{"--memory-limit=99999999999x", "a.out"}, {}, Options::badValue, 0, {0, 0}},
        {{"--time-limit"}, {}, Options::missingValue, 0, {0, 0}},
        {{"--time-limit="}, {}, Options::badValue, 0, {0, 0}},
        {{"--help", "a.out"}, {}, Options::help, 0, {0, 0}},
        {{"--time-limit=1", "-h", "a.out"}, {}, Options::help, 0, {0, 0}},
        {{"--version"}, {}, Options::version, 0, {0, 0}},
        {{"--timelimit=1", "a.out"}, {}, Options::unknownOption, 0, {0, 0}},
    };
    for (const Case& c : cases) {
        environment = c.environment;
        std::vector<std::string> words{"pimbrel"};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const Options options = readOptions(static_cast<int>(words.size()), argv.data());
        const std::string row = c.arguments[0];
        EXPECT_EQ(options.what, c.what) << row;
        if (c.what != Options::run) continue;
        EXPECT_EQ(options.program, c.program) << row;
        EXPECT_EQ(options.limits.seconds, c.limits.seconds) << row;
        EXPECT_EQ(options.limits.megabytes, c.limits.megabytes) << row;
        EXPECT_EQ(options.limits.secondsDecimals, c.limits.secondsDecimals) << row;
        EXPECT_EQ(options.limits.megabytesDecimals, c.limits.megabytesDecimals) << row;
    }
    environment.clear();
}

// PIMBREL_LANG first, when it names a language of the launcher's; then the user's languages
// in order, as gettext walks LANGUAGE, where C stops the walk; then the locale.
TEST(Options, TheLanguageIsTheFirstTheUserAsksForThatTheLauncherSpeaks)
{
    struct Case {
        const char *asked, *preferred, *locale;
        Language language;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, Language::chinese},
        {nullptr, nullptr, "en_US.UTF-8", Language::english},
        {nullptr, nullptr, "C.UTF-8", Language::chinese},
        {"en", nullptr, "zh_CN.UTF-8", Language::english},
        {"zh", "en", "en_US.UTF-8", Language::chinese},
        {"fr", nullptr, "en_GB.UTF-8", Language::english},
        {nullptr, "fr:en", "zh_CN.UTF-8", Language::english},
        {nullptr, "fr:zh_TW:en", "en_US.UTF-8", Language::chinese},
        {nullptr, "fr:C:en", "en_US.UTF-8", Language::chinese},
        {nullptr, "fr:de", "en_US.UTF-8", Language::english},
        {nullptr, "english", "zh_CN.UTF-8", Language::chinese},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(languageFor(c.asked, {c.preferred, c.locale}), c.language)
            << (c.asked ? c.asked : "-") << " " << (c.preferred ? c.preferred : "-") << " " << (c.locale ? c.locale : "-");
    }
    EXPECT_TRUE(speaks("en_US"));
    EXPECT_FALSE(speaks("fr"));
}

// How many columns a line takes on a terminal: two for a wide character (Chinese).
std::size_t columns(const std::string& line)
{
    std::size_t width = 0;
    for (std::size_t at = 0; at < line.size();) {
        const auto lead = static_cast<unsigned char>(line[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t i = 1; i < length && at + i < line.size(); ++i) point = point << 6 | (line[at + i] & 0x3F);
        const bool wide = (point >= 0x1100 && point <= 0x115F) || (point >= 0x2E80 && point <= 0xA4CF) ||
                          (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF) ||
                          (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60) ||
                          (point >= 0xFFE0 && point <= 0xFFE6);
        width += wide ? 2 : 1;
        at += length;
    }
    return width;
}

// The help, and every line that says how a program ended, fit a terminal of 80 columns, in
// both languages: a signal's with a number of two digits and a core dump.
TEST(Texts, TheHelpAndEveryEndingFitEightyColumns)
{
    for (const Texts& language : {chinese::texts, english::texts}) {
        char line[1024];
        std::vector<std::string> lines;
        std::snprintf(line, sizeof line, "%s\n%s\n%s%s", language.usage, language.banner, language.options,
                      language.statuses);
        for (std::string_view help = line; !help.empty();) {
            const std::size_t end = std::min(help.find('\n'), help.size());
            lines.emplace_back(help.substr(0, end));
            help.remove_prefix(std::min(end + 1, help.size()));
        }
        const std::string killedBy = std::string(language.killedBy) + language.words + "%s";
        for (const SignalWords& signal : language.signalWords) {
            std::snprintf(line, sizeof line, killedBy.c_str(), 31, signal.name, signal.words, language.coreDumped);
            lines.emplace_back(line);
        }
        for (const StatusWords& status : language.statusWords) {
            std::snprintf(line, sizeof line, language.crashed, status.words, status.name);
            lines.emplace_back(line);
        }
        for (const std::string& each : lines) EXPECT_LE(columns(each), 80U) << each;
    }
}

}  // namespace
