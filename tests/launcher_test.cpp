// What the launcher does for the program it runs, seen through its output and exit status.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

std::string report(const std::string& code, const std::string& hex)
{
    return shown("\n进程退出返回值 " + code + " (0x" + hex + ")   运行时间 : <t> 秒\n按任意键继续...\n");
}

std::string running(const std::string& commandLine)
{
    return shown("正在运行:") + written(commandLine) + shown("\n\n");
}

std::string hex(const std::string& bytes)
{
    std::string text;
    char pair[3];
    for (unsigned char byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

// The child program first, then its arguments: the child must receive exactly these.
void expectRoundTrip(const Words& words, const Locale& locale = western)
{
    const Outcome run = runLauncher(words, locale);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(receivedArguments(run.out), words) << run.out;
}

// Under wine every run costs tens of milliseconds: fewer runs, more arguments in each.
constexpr int randomRuns = onWindows ? 200 : 3000;
constexpr unsigned mostArguments = onWindows ? 24 : 6;

// Through a file or pipe the launcher's words are GBK bytes on Windows, whatever the code
// page of the system.
// The launcher's own words: with no argument, or --help or --version as the only one.
TEST(Usage, BannerUsageHelpAndVersion)
{
    const std::string usage = "Tavrune IDE 程序运行插件 - Oltmera 出品\n"
                              "用法: " + usageName + " <EXE 路径> <参数 ...>\n";
    // Without a program, standard error names the help.
    const std::string seeHelp = "请运行 " + usageName + " --help 查看选项与说明\n";
    struct Case {
        Words arguments;
        std::string out;
        int status;
        std::string err = "";
    };
    const Case cases[] = {
        {{}, usage, 1, seeHelp},
        {{"--time-limit=1", "--"}, usage, 1, seeHelp},
        {{"--version"}, "pimbrel " PIMBREL_VERSION "\n", 0},
    };
    for (const Locale& locale : {western, chinese}) {
        for (const Case& c : cases) {
            const Outcome run = runLauncher(c.arguments, locale);
            EXPECT_EQ(run.out, shown(c.out)) << locale.name << " " << c.out;
            EXPECT_EQ(run.err, shown(c.err));
            EXPECT_EQ(run.status, c.status);
        }
        // The usage line first, as GNU tools give it; then the options, the variables that
        // stand for them, and what each exit status means.
        const Outcome help = runLauncher({"--help"}, locale);
        EXPECT_TRUE(help.out.starts_with(shown("用法: " + usageName + " <EXE 路径> <参数 ...>\n"
                                               "Tavrune IDE 程序运行插件 - Oltmera 出品\n"))) << help.out;
        for (const char* line : {"  --time-limit=秒数 ", "  --memory-limit=MB ", "  --utf8-console ", "  PIMBREL_TIME_LIMIT ",
                                 "  PIMBREL_MEMORY_LIMIT ", "  PIMBREL_UTF8_CONSOLE ", "  124    超出时间限制或内存限制\n",
                                 "  127    找不到程序\n"}) {
            EXPECT_NE(help.out.find(shown(line)), std::string::npos) << line;
        }
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(runLauncher({"-h"}, locale).out, help.out);
    }
    // A reader that cannot take them hears of it, and the status says so.
    for (const char* word : {"--help", "--version"}) {
        Launch full({word}, {.out = {Stream::file, "/dev/full"}});
        EXPECT_EQ(full.end(), 1) << word;
        EXPECT_TRUE(full.err.starts_with(shown(usageName + ": 写入错误: "))) << word << ": " << full.err;
    }
}

// The messages are in the user's language where it is English, by the locale or by
// PIMBREL_LANG, which wins; in every other locale, C included, in the launcher's own
// Chinese, which whatever reads its output today expects. Windows follows PIMBREL_LANG alone.
TEST(Usage, MessagesFollowTheUsersLanguage)
{
    struct Case {
        Words variables;
        bool english, onWindows;
        bool warned = false;  // PIMBREL_LANG names no language of the launcher's: said, in the one chosen
    };
    const Case cases[] = {
        {{"LC_ALL=C"}, false, false},
        {{"LC_ALL=C.UTF-8"}, false, false},
        {{"LC_ALL=zh_CN.UTF-8"}, false, false},
        {{"LC_ALL=en_US.UTF-8"}, true, false},
        {{"LANG=en_GB.UTF-8"}, true, false},
        {{"LANGUAGE=en", "LANG=zh_CN.UTF-8"}, true, false},
        {{"LANG=zh_CN.UTF-8", "LANGUAGE=fr:en"}, true, false},
        {{"LC_ALL=en_US.UTF-8", "PIMBREL_LANG=fr"}, true, false, true},
        {{"LC_ALL=en_US.UTF-8", "PIMBREL_LANG=zh"}, false, false},
        {{"LC_ALL=zh_CN.UTF-8", "PIMBREL_LANG=en"}, true, true},
    };
    for (const Case& c : cases) {
        Launch launch({helper("exit_with"), "3"}, {}, western, [&c] {
            unsetenv("LC_ALL");
            for (const std::string& variable : c.variables) putenv(const_cast<char*>(variable.c_str()));
        });
        EXPECT_EQ(launch.end(), 3);
        const bool english = onWindows ? c.onWindows : c.english;
        const std::string row = c.variables.back();
        const std::string warning = !c.warned ? ""
                                    : english ? usageName + ": invalid value for PIMBREL_LANG: \"fr\" (en or zh is expected), not used\n"
                                              : usageName + ": PIMBREL_LANG 的值无效: \"fr\" (应为 en 或 zh)，未采用\n";
        if (english) {
            EXPECT_TRUE(launch.out.starts_with("Running: ")) << row << ": " << launch.out;
            EXPECT_NE(launch.out.find(written("\nProcess exited with return value 3 (0x3)   run time: ")), std::string::npos)
                << row << ": " << launch.out;
            EXPECT_TRUE(launch.out.ends_with(written(" s\nPress any key to continue...\n"))) << row;
            EXPECT_TRUE(launch.err.starts_with(written(warning + "CPU time: "))) << row << ": " << launch.err;
        } else {
            EXPECT_TRUE(withoutTime(launch.out).ends_with(report("3", "3"))) << row << ": " << launch.out;
            EXPECT_EQ(costIn(launch.err).before, shown(warning)) << row;
        }
    }
}

// A value that is not a positive number, or an option there is not: one line that says
// which, and nothing run.
TEST(Usage, ABadValueOrAnUnknownOptionIsAUsageError)
{
    struct Case {
        Words arguments;
        std::string variable;  // NAME=value, in the launcher's environment
        std::string err;
    };
    const std::string bad = " 的值无效: \"", should = "\" (应为正数，如 1 或 0.5)\n", inMegabytes = "\" (应为正数，如 256)\n";
    const Case cases[] = {
        {{"--time-limit=", "x"}, "", "--time-limit" + bad + should},
        {{"--time-limit=0", "x"}, "", "--time-limit" + bad + "0" + should},
        {{"--time-limit=-1", "x"}, "", "--time-limit" + bad + "-1" + should},
        {{"--time-limit", "1x", "x"}, "", "--time-limit" + bad + "1x" + should},
        {{"--time-limit=abc", "x"}, "", "--time-limit" + bad + "abc" + should},
        {{"--time-limit=nan", "x"}, "", "--time-limit" + bad + "nan" + should},
        {{"--time-limit=1e3", "x"}, "", "--time-limit" + bad + "1e3" + should},
        {{"--memory-limit=99999999999", "x"}, "", "--memory-limit 的值过大: \"99999999999\" (最大为 1000000000)\n"},
        {{"--memory-limit=0.0", "x"}, "", "--memory-limit" + bad + "0.0" + inMegabytes},
        {{"--memory-limit"}, "", "选项 --memory-limit 需要一个值 (正数，如 256)\n"},
        {{"x"}, "PIMBREL_TIME_LIMIT=", "PIMBREL_TIME_LIMIT" + bad + should},
        {{"x"}, "PIMBREL_MEMORY_LIMIT=64MB", "PIMBREL_MEMORY_LIMIT" + bad + "64MB" + inMegabytes},
        {{"x"}, "PIMBREL_UTF8_CONSOLE=yes", "PIMBREL_UTF8_CONSOLE" + bad + "yes\" (应为 1 或 0)\n"},
        {{"--timelimit=1", "x"}, "", "未知的选项: --timelimit=1 (见 " + usageName + " --help)\n"},
        {{"-t", "1", "x"}, "", "未知的选项: -t (见 " + usageName + " --help)\n"},
    };
    for (const Case& c : cases) {
        Launch launch(c.arguments, {}, western, [&c] {
            if (!c.variable.empty()) putenv(const_cast<char*>(c.variable.c_str()));
        });
        EXPECT_EQ(launch.end(), 125) << c.err;
        EXPECT_EQ(launch.err, shown(usageName + ": " + c.err));
        EXPECT_EQ(launch.out, "") << c.err;
    }
}

TEST(Running, ShowsTheRunningLineTheChildsOutputAndTheReport)
{
    const std::string program = helper("print_args");
    for (const Locale& locale : {western, chinese}) {
        const Outcome run = runLauncher({program, "x"}, locale);
        EXPECT_EQ(withoutTime(run.out), running(program + " x ") + "arg:" + hex(program) + shown("\n") +
                                            "arg:78" + shown("\n") + report("0", "0")) << locale.name;
        EXPECT_EQ(costIn(run.err).before, "");
        EXPECT_EQ(run.status, 0);
    }
}

// A program that crashed is said so in words, on standard error before what the run cost; one
// that chose its exit code is not, whatever the code.
TEST(Running, EndsWithTheChildsExitCodeAndSaysInWordsWhatEndedACrash)
{
    struct Case {
        Words how;
        int status;
        std::string decimal, hex;
        std::string ending;  // the launcher's line on how it ended, if any
    };
    std::vector<Case> cases = {
        {{"0"}, 0, "0", "0", ""},
        {{"1"}, 1, "1", "1", ""},
        {{"255"}, 255, "255", "FF", ""},
        {{"139"}, 139, "139", "8B", ""},
    };
    // A Linux parent sees the low 8 bits of a Windows exit code.
    const std::vector<Case> own = onWindows ? std::vector<Case>{
        {{"null"}, 5, "-1073741819", "C0000005", "程序异常终止: 访问冲突，非法的内存访问 (STATUS_ACCESS_VIOLATION)\n"},
        {{"divide"}, 0x94, "-1073741676", "C0000094", "程序异常终止: 整数除以零 (STATUS_INTEGER_DIVIDE_BY_ZERO)\n"},
        {{"stack"}, 0xFD, "-1073741571", "C00000FD", "程序异常终止: 栈溢出 (如递归过深) (STATUS_STACK_OVERFLOW)\n"},
        {{"0xC0001234"}, 0x34, "-1073737164", "C0001234", "程序异常终止 (NTSTATUS 0xC0001234)\n"},
        {{"3"}, 3, "3", "3", ""},
        {{"0x80004005"}, 5, "-2147467259", "80004005", ""},
        // A learner's own negative return is no crash, whatever its bits: only the
        // system's form of status, 0xC..., is one.
        {{"-1"}, 255, "-1", "FFFFFFFF", ""},
        {{"-2"}, 254, "-2", "FFFFFFFE", ""},
        {{"-100"}, 156, "-100", "FFFFFF9C", ""},
        // Wine ends with 1 where the code's low byte is 0 but the code is not.
        {{"-65536"}, 1, "-65536", "FFFF0000", ""},
        {{"0xE0001234"}, 0x34, "-536866252", "E0001234", ""},
    } : std::vector<Case>{
        // Killed by a signal: 128 + its number, as the shells report it.
        {{"null"}, 139, "139", "8B", "程序被信号 11 (SIGSEGV) 终止: 段错误，非法的内存访问\n"},
        {{"abort"}, 134, "134", "86", "程序被信号 6 (SIGABRT) 终止: abort 中止，如断言失败、异常未捕获\n"},
        {{"divide"}, 136, "136", "88", "程序被信号 8 (SIGFPE) 终止: 算术错误 (如整数除以零)\n"},
        {{"signal", "9"}, 137, "137", "89", "程序被信号 9 (SIGKILL) 终止: 被强制结束 (如 kill -9 或内存不足)\n"},
        {{"signal", "40"}, 168, "168", "A8", "程序被信号 40 终止\n"},
    };
    cases.insert(cases.end(), own.begin(), own.end());
    // No core dumps: whether one is made is the system's to decide (a test of its own).
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = 0;
    setrlimit(RLIMIT_CORE, &core);
    for (const Case& c : cases) {
        Words words{helper("exit_with")};
        words.insert(words.end(), c.how.begin(), c.how.end());
        const Outcome run = runLauncher(words);
        EXPECT_EQ(run.status, c.status) << c.how[0];
        EXPECT_TRUE(withoutTime(run.out).ends_with(report(c.decimal, c.hex))) << run.out;
        // Under wine a crash has wine's debugger write what it found before the launcher does.
        const std::string before = costIn(run.err).before;
        if (c.ending.empty()) EXPECT_EQ(before, "") << c.how[0];
        else EXPECT_TRUE(before.ends_with(shown(c.ending))) << c.how[0] << ":\n" << before;
    }
}

// What a run cost: natively the figures as the child itself can check them; under wine,
// which reads no peak memory of another process and a CPU time of 0, the line as wine can
// show it.
TEST(Running, SaysWhatTheRunCostInCpuTimeAndPeakMemory)
{
    struct Case {
        Words how;
        double leastCpu, leastMemory, mostMemory;  // below 0: not checked
    };
    const std::vector<Case> cases = onWindows ? std::vector<Case>{
        {{"cpu", "0.3"}, 0, -1, -1},
    } : std::vector<Case>{
        {{"memory", "64"}, 0, 64.0, 80.0},
        {{"cpu", "0.3"}, 0.3, 0.1, 80.0},
    };
    for (const Case& c : cases) {
        Words words{helper("exit_with")};
        words.insert(words.end(), c.how.begin(), c.how.end());
        const Outcome run = runLauncher(words);
        EXPECT_EQ(run.status, 0);
        const Cost cost = costIn(run.err);
        EXPECT_GE(cost.cpuSeconds, c.leastCpu) << run.err;
        if (c.leastMemory >= 0) {
            EXPECT_GE(cost.peakMegabytes, c.leastMemory) << run.err;
            EXPECT_LE(cost.peakMegabytes, c.mostMemory) << run.err;
        }
    }
    if (onWindows) return;
#ifdef PIMBREL_SANITIZED
    // Until it execs, the child shares the launcher's memory, whose peak the system keeps as
    // the child's: under the sanitizer, megabytes of the sanitizer's own.
    return;
#endif
    // The launcher's own memory is never the program's: /bin/true with big arguments (which
    // a command line would double) costs what GNU time says it costs.
    ASSERT_TRUE(fs::exists("/usr/bin/time")) << "GNU time is not installed";
    for (const char fill : {'x', '"'}) {
        Words words{"/bin/true"};
        words.insert(words.end(), 18, std::string(100000, fill));
        Words timed{"/usr/bin/time", "-f", "%M"};
        timed.insert(timed.end(), words.begin(), words.end());
        Scratch scratch;
        const std::string figure = scratch.path / "figure";
        const pid_t time = fork();
        if (time == 0) exec(timed, western, {.in = {Stream::file, "/dev/null"}, .err = {Stream::file, figure}});
        EXPECT_EQ(reap(time), 0);
        double timesFigure = 0;
        std::ifstream(figure) >> timesFigure;
        timesFigure /= 1024;
        const Outcome run = runLauncher(words);
        EXPECT_LE(costIn(run.err).peakMegabytes, timesFigure * 1.1) << fill << ": GNU time says " << timesFigure;
    }
}

// The processes whose command line holds the text, as /proc shows them (wine's too).
std::vector<std::string> processesHolding(const std::string& text)
{
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        std::ifstream file(entry.path() / "cmdline");
        const std::string line(std::istreambuf_iterator<char>(file), {});
        if (line.find(text) != std::string::npos) found.push_back(entry.path().filename());
    }
    return found;
}

// A limit for practice, asked by an option or the environment: a run past it is ended, with
// everything it started, and said as a judge says it, in place of how it ended; the
// launcher ends with 124, as timeout does. A run within its limits is reported as ever. The
// limits and the cost are the whole tree's, whatever leaves the program's process group or
// outlives the program.
TEST(Limits, ARunPastALimitIsEndedAndSaidAsAJudgeSaysIt)
{
    const std::string looping = helper("exit_with"), mark = "mark-" + std::to_string(getpid());
    // A command line of the system's shell.
    const auto shell = [](const std::string& line) {
        return onWindows ? Words{"cmd", "/c", line} : Words{"/bin/sh", "-c", line};
    };
    const std::string inBackground = onWindows ? "start /b " : "", andThen = " & ";
    // Ended at the limit, which the exit code does not say; the memory may also be seen over
    // it only as the program ends, between two looks.
    const std::string overTime = "超出时间限制: 运行到限制的 0.500 秒时被结束\n",
                      overMemory = "超出内存限制: 内存超过限制的 64.0 MB 时被结束\n",
                      overMemoryAtItsEnd = "超出内存限制: 内存峰值超过 64.0 MB\n";
    struct Case {
        Words arguments;
        std::string variable;  // NAME=value, in the launcher's environment
        int status;
        std::string verdict;
        bool native = false;      // only where the case can be made
        double leastMemory = -1;  // the cost's peak, at least; below 0: not checked
        double leastCpu = -1;     // the cost's CPU time, at least (not under wine, which reads none)
    };
    const auto with = [](Words options, const Words& command) {
        options.insert(options.end(), command.begin(), command.end());
        return options;
    };
    const std::vector<Case> cases = {
        {{"--time-limit=0.5", looping, "cpu", "1000", mark}, "", 124, overTime},
        {{"--time-limit", "0.5", "--", looping, "cpu", "1000", mark}, "", 124, overTime},
        {{looping, "cpu", "1000", mark}, "PIMBREL_TIME_LIMIT=0.5", 124, overTime},
        {{"--time-limit=0.0005", looping, "cpu", "1000", mark}, "", 124, "超出时间限制: 运行到限制的 0.0005 秒时被结束\n"},
        {{"--time-limit=100", looping, "cpu", "0.3"}, "PIMBREL_TIME_LIMIT=0.2", 0, ""},
        {with({"--time-limit=0.5"}, shell(inBackground + looping + " cpu 1000 " + mark + andThen + looping + " cpu 1000 " + mark)),
         "", 124, overTime},
        {{"--memory-limit=64", looping, "memory", "200"}, "", 124, overMemory},
        {{looping, "memory", "200"}, "PIMBREL_MEMORY_LIMIT=64", 124, overMemory},
        {{"--memory-limit=64", looping, "memory", "32"}, "", 0, ""},
        // Freed as the program ends, its memory is no reason to doubt the figure. (Wine
        // keeps no figure for a process that has ended: there it is the last look's.)
        {{"--memory-limit=2000", looping, "memory", "500"}, "", 0, "", false, onWindows ? 400.0 : 500.0},
        // As a judge that measures resident memory decides: only what is touched counts.
        {{"--memory-limit=64", looping, "global", "fill"}, "", 124, overMemory, true},
        {{"--memory-limit=64", looping, "global"}, "", 0, "", true},
        // What the program starts is measured with it: a wrapper (a batch file, sh -c), and
        // a thread that goes on after main has ended.
        {with({"--memory-limit=64"}, shell(looping + " memory 200" + (onWindows ? " & ver >nul" : "; true"))), "", 124,
         overMemory},
        {{"--memory-limit=64", looping, "thread", "200"}, "", 124, overMemory, true},
        // Ended at a limit, the tree still counts what it held and spent.
        {with({"--time-limit=1"}, shell(inBackground + looping + " hold 100 " + mark + andThen + looping + " cpu 1000 " + mark)),
         "", 124, "超出时间限制: 运行到限制的 1.000 秒时被结束\n", false, 100, 0.1},
        // Nothing escapes: not a process that left the program's session, nor one it left
        // running when it ended.
        {with({"--time-limit=0.5"}, shell("setsid " + looping + " cpu 1000 " + mark + " & " + looping + " cpu 1000 " + mark)),
         "", 124, overTime, true},
        {with({"--time-limit=100"}, shell(inBackground + looping + " cpu 1000 " + mark + (onWindows ? "" : " &"))), "", 0, ""},
    };
    for (const Case& c : cases) {
        if (c.native && onWindows) continue;
        Launch launch(c.arguments, {}, western, [&c] {
            if (!c.variable.empty()) putenv(const_cast<char*>(c.variable.c_str()));
        });
        const std::string row = c.arguments[0] + " " + c.arguments[1] + " " + c.arguments.back() + " " + c.variable;
        EXPECT_EQ(launch.end(), c.status) << row << ": " << launch.err;
        const Cost cost = costIn(launch.err);
        if (c.verdict.empty()) {
            EXPECT_EQ(cost.before, "") << row;
        } else {
            EXPECT_TRUE(cost.before.ends_with(shown(c.verdict)) ||
                        (c.verdict == overMemory && cost.before.ends_with(shown(overMemoryAtItsEnd))))
                << row << ": " << cost.before;
        }
        if (c.verdict == overTime) {
            EXPECT_GE(runTimeIn(launch.out), 0.5) << row;
        }
        // Ended at one look or the next, not after it had taken all it asked for.
        if (c.verdict == overMemory && !onWindows) {
            EXPECT_LT(cost.peakMegabytes, 64 + 48) << row;
        }
        EXPECT_GE(cost.peakMegabytes, c.leastMemory) << row;
        if (!onWindows) {
            EXPECT_GE(cost.cpuSeconds, c.leastCpu) << row;
        }
        EXPECT_EQ(processesHolding(mark), std::vector<std::string>{}) << row << ": left running";
    }
    // On Windows the job ends with the launcher, however the launcher ends: an IDE's stop
    // button kills it.
    if (onWindows) {
        Launch launch({"--time-limit=100", helper("sleeper"), "1000000", mark});
        ASSERT_TRUE(launch.waitFor("started"));
        kill(launch.pid, SIGKILL);
        launch.end();
        for (int tries = 0; !processesHolding(mark).empty() && tries < 10000; ++tries) usleep(1000);
        EXPECT_EQ(processesHolding(mark), std::vector<std::string>{}) << "left running";
    }
}

// A program that cannot start is said so, with why: on Linux, "not found" for a program that
// is there is a file it needs that is not (a script saved with Windows line ends, whose
// interpreter's name ends in a carriage return; a program whose loader is missing); a
// program named without a folder that is not on PATH may be the one in the current folder.
TEST(Running, AProgramThatCannotStartIsReportedWithTheShellsStatus)
{
    Scratch scratch;
    const fs::path unrunnable = scratch.path / ("not-executable" + executableSuffix);
    std::fclose(std::fopen(unrunnable.c_str(), "w"));
    if (!onWindows) {
        fs::copy_file(helperFile("exit_with"), scratch.path / "hello");
        std::ofstream(scratch.path / "crlf.sh") << "#!/bin/sh\r\necho ran\r\n";
        std::ifstream program(helperFile("exit_with"), std::ios::binary);
        std::string bytes(std::istreambuf_iterator<char>(program), {});
        const std::string loader = "/lib64/ld-linux-x86-64.so.2";
        const std::size_t at = bytes.find(loader);
        ASSERT_NE(at, std::string::npos) << "no loader of x86-64 Linux named in " << helperFile("exit_with");
        bytes[at + loader.size() - 1] = '9';
        std::ofstream(scratch.path / "no-loader", std::ios::binary) << bytes;
        for (const char* file : {"crlf.sh", "no-loader"}) fs::permissions(scratch.path / file, fs::perms::owner_all);
    }
    const fs::path before = fs::current_path();
    fs::current_path(scratch.path);
    // A name longer than any line of the launcher's own is said whole, and its reason too.
    std::string deep = (scratch.path / "missing").string();
    while (deep.size() < 3000) deep += "/" + std::string(199, 'd');
    struct Case {
        std::string program;
        std::string reason;  // in the launcher's words on Linux; on Windows, the system's
        int status;
        std::string hex;
    };
    const std::vector<Case> cases = onWindows ? std::vector<Case>{
        {launcherName(scratch.path / "missing"), "File not found.", 127, "7F"},
        {launcherName(deep), "File not found.", 127, "7F"},
        {"no-such-program-on-the-path", "File not found.", 127, "7F"},
        {launcherName(unrunnable), "Bad EXE format for " + launcherName(unrunnable) + ".", 126, "7E"},
    } : std::vector<Case>{
        {(scratch.path / "missing").string(), "找不到文件或目录", 127, "7F"},
        {deep, "找不到文件或目录", 127, "7F"},
        {"no-such-program-on-the-path", "找不到文件或目录", 127, "7F"},
        {unrunnable.string(), "没有权限", 126, "7E"},
        {scratch.path.string(), "是一个目录", 126, "7E"},
        {"hello", "找不到文件或目录 (要运行当前文件夹中的它: ./hello)", 127, "7F"},
        {"./crlf.sh", "找不到它的解释器 \"/bin/sh\\r\" (#! 行末有回车符: 请用 LF 换行保存文件)", 127, "7F"},
        {"./no-loader", "找不到运行它所需的文件 (解释器或加载器)", 127, "7F"},
    };
    for (const Case& c : cases) {
        const Outcome run = runLauncher({c.program, "x"});
        EXPECT_EQ(run.err, shown(usageName + ": 无法启动 " + c.program + ": " + c.reason + "\n")) << c.program;
        EXPECT_EQ(run.status, c.status) << c.program;
        EXPECT_EQ(withoutTime(run.out), running(c.program + " x ") +
                                            report(std::to_string(c.status), c.hex));
    }
    fs::current_path(before);
}

// The system takes 32,767 characters in a command line, the terminator included, and the
// launcher's own line is one: a line near that length reaches the child whole. (Its
// composition is never longer than its own line, so a line over the limit, refused before
// it is sent, cannot be made from here.)
TEST(Running, ALineNearTheSystemsLimitReachesTheChild)
{
    if (!onWindows) GTEST_SKIP() << "only Windows limits a command line, to 32,767 characters";
    const std::string program = helper("print_args");
    // What wine adds to the launcher's own line besides its name is left some room.
    const std::size_t room = 32767 - launcherName(PIMBREL_PATH).size() - program.size() - 16;
    const std::string longest(room, 'x');
    const Outcome run = runLauncher({program, longest});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(receivedArguments(run.out), (Words{program, longest}));

    // The limit counts characters: a Chinese line of twice as many bytes goes too.
    std::string yun;
    for (std::size_t i = 0; i < room; ++i) yun += "\xdf\x5c";  // 運
    const Outcome chinese = runLauncher({program, yun}, ::chinese);
    EXPECT_EQ(chinese.status, 0) << chinese.err;
    EXPECT_EQ(receivedArguments(chinese.out), (Words{program, yun}));
}

// A batch file runs in cmd, which reads its line again by rules of its own: an argument
// reaches the batch file in %1 as cmd would take it typed in those quotes, and in %~1
// without them, and never runs as a command; one that cmd cannot be given literally is
// refused before anything starts. Whatever the name it was found by, a batch file is one,
// and cmd gets its full path in quotes, which it cannot read as a command of its own.
TEST(CommandLine, ABatchFileGetsEachArgumentAsGivenAndRunsNoneOfThem)
{
    if (!onWindows) GTEST_SKIP() << "batch files are Windows'";
    Scratch scratch;
    const fs::path before = fs::current_path();
    fs::current_path(scratch.path);
    // In folders that cmd would read as its own commands (md, echo, @ and at), and in one
    // whose '%' cmd would expand.
    for (const char* folder : {".", "md", "echo", "@at", "100%"}) {
        fs::create_directories(folder);
        std::ofstream(fs::path(folder) / "show.bat")
            << "@echo off\r\nset \"first=[%~1]\"\r\nset first\r\necho [%1] [%2]\r\necho all=[%*]\r\nexit /b 4\r\n";
    }
    // A wrapper as tools write them, handing its arguments on to a program beside it.
    fs::copy_file(helperFile("print_args"), "print_args.exe");
    std::ofstream("wrap.bat") << "@\"%~dp0print_args.exe\" %*\r\n";
    // An argument of x's that takes what cmd reads to its most, 8,191 characters: the
    // quoted path, the argument and the z after it, all in one more pair of quotes.
    const std::size_t fits = 8191 - launcherName(scratch.path / "show.bat").size() - 7;
    // PATHEXT as a user may write it, set for a launcher that cmd starts.
    const std::string blankInPathext = "set PATHEXT=.COM;.EXE;.BAT ;.CMD&& " + launcherName(PIMBREL_PATH) + " show";
    struct Case {
        Words arguments;
        int status;
        std::string shown;  // what the batch file prints, or the launcher says on standard error
        std::string program = "show.bat";  // as given to the launcher
    };
    const Case cases[] = {
        {{"R&ver"}, 4, "first=[R&ver]\n[\"R&ver\"] [z]\nall=[\"R&ver\" z]\n"},
        {{"a>created.txt"}, 4, "first=[a>created.txt]\n[\"a>created.txt\"] [z]"},
        {{"two words & (more) ^|<>"}, 4, "first=[two words & (more) ^|<>]"},
        {{"a,b;c=d"}, 4, "first=[a,b;c=d]"},
        // A control is a delimiter to some versions of cmd: quoted.
        {{"a\vb"}, 4, "first=[a\vb]\n[\"a\vb\"] [z]"},
        {{"ends in\\"}, 4, "first=[ends in\\\\]\n[\"ends in\\\\\"] [z]"},
        {{"!PATH!"}, 4, "first=[!PATH!]"},
        {{""}, 4, "first=[]\n[\"\"] [z]"},
        {{"#$*+-./:?@\\_09AZaz", "運"}, 4, "all=[#$*+-./:?@\\_09AZaz 運]"},
        {{"x\\\"&echo INJECTED"}, 126, "Pimbrel.exe: 无法安全地把参数 1 传给批处理文件: 含有 \"\"\"\n"},
        {{"%PATH%"}, 126, "Pimbrel.exe: 无法安全地把参数 1 传给批处理文件: 含有 \"%\"\n"},
        {{"z", "line\nfeed"}, 126, "Pimbrel.exe: 无法安全地把参数 2 传给批处理文件: 含有 换行符\n"},
        // Found by a name that the file system shortens, it is a batch file all the same.
        {{"R&ver", "a>created.txt"}, 4, "first=[R&ver]\n[\"R&ver\"] [\"a>created.txt\"]", "show.bat."},
        {{"R&ver", "a>created.txt"}, 4, "first=[R&ver]\n[\"R&ver\"] [\"a>created.txt\"]", "show.bat "},
        {{"/c", blankInPathext + " R^&ver a^>created.txt"}, 4, "first=[R&ver]\n[\"R&ver\"] [\"a>created.txt\"]",
         "cmd"},
        {{"R&ver"}, 4, "first=[R&ver]\n[\"R&ver\"] [z]", "md\\show.bat"},
        {{"R&ver"}, 4, "first=[R&ver]\n[\"R&ver\"] [z]", "echo\\show.bat"},
        {{"R&ver"}, 4, "first=[R&ver]\n[\"R&ver\"] [z]", "@at\\show.bat"},
        {{"x"}, 126, "Pimbrel.exe: 无法安全地运行批处理文件 " + launcherName(scratch.path / "100%" / "show.bat") + ": 它的路径含有 \"%\"\n",
         "100%\\show.bat"},
        // %* handed on: the program gets the folder whole, its last backslash too.
        {{"C:\\my dir\\", "z"}, 0, "\narg:" + hex("C:\\my dir\\") + "\narg:7a\n", "wrap.bat"},
        {{std::string(fits, 'x')}, 4, "all=[" + std::string(fits, 'x') + " z]\n"},
        {{std::string(fits + 1, 'x')}, 126, "Pimbrel.exe: 无法启动 show.bat: 命令行过长 (8192 个字符，批处理文件最多 8191 个)\n"},
    };
    for (const Case& c : cases) {
        Words words{c.program};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        if (c.arguments.size() == 1) words.push_back("z");
        const Outcome run = runLauncher(words, chineseText);
        const std::string row = c.program + " " + c.arguments[0].substr(0, 20);
        EXPECT_EQ(run.status, c.status) << row << ": " << run.err;
        if (c.status == 126) EXPECT_EQ(run.err, shown(c.shown)) << row;
        else EXPECT_NE(run.out.find(shown(c.shown)), std::string::npos) << row << ":\n" << run.out;
        EXPECT_EQ(run.out.find("INJECTED\r"), std::string::npos) << row;
        EXPECT_EQ(run.out.find("Windows"), std::string::npos) << row;
        for (const char* made : {"created.txt", "z", "/show.bat"}) EXPECT_FALSE(fs::exists(made)) << row << ": " << made;
    }
    fs::current_path(before);
}

// A program named without a folder is found as the user's shell finds it: in the current
// folder, then on PATH, with the extensions of PATHEXT, whatever dots the name holds; never
// in the launcher's own folder, which is the IDE's.
TEST(CommandLine, AProgramIsFoundWhereTheShellWouldFindIt)
{
    if (!onWindows) GTEST_SKIP() << "POSIX systems find programs on PATH alone, with execvp";
    Scratch scratch;
    for (const char* folder : {"ide", "work", "bin"}) fs::create_directories(scratch.path / folder);
    fs::copy_file(PIMBREL_PATH, scratch.path / "ide" / "Pimbrel.exe");
    fs::copy_file(helperFile("exit_with"), scratch.path / "ide" / "hello.exe");
    fs::copy_file(helperFile("print_args"), scratch.path / "work" / "hello.exe");
    fs::copy_file(helperFile("print_args"), scratch.path / "bin" / "onpath.exe");
    fs::copy_file(helperFile("print_args"), scratch.path / "work" / "dotname.v2.exe");
    std::ofstream(scratch.path / "bin" / "script.cmd") << "@echo script got %1\r\n";
    const fs::path before = fs::current_path();
    fs::current_path(scratch.path / "work");
    launcherFile = scratch.path / "ide" / "Pimbrel.exe";
    const std::string bin = launcherName(scratch.path / "bin");
    struct Case {
        std::string program, printed;
    };
    for (const Case& c : {Case{"hello", "\narg:39\r\n"}, Case{"hello.exe", "\narg:39\r\n"},
                          Case{"onpath", "\narg:39\r\n"}, Case{"script", "\nscript got 9\r\n"},
                          Case{"dotname.v2", "\narg:39\r\n"}}) {
        Launch launch({c.program, "9"}, {}, western, [&bin] { setenv("WINEPATH", bin.c_str(), 1); });
        EXPECT_EQ(launch.end(), 0) << c.program << ": " << launch.err;
        EXPECT_NE(launch.out.find(c.printed), std::string::npos) << c.program << ":\n" << launch.out;
    }
    launcherFile = PIMBREL_PATH;
    fs::current_path(before);
}

// Arguments that need quoting, escaping or neither, and the line they are composed into
// after the program and its space.
struct Quoting {
    Words arguments;
    std::string composed;
};
const Quoting quotings[] = {
    {{}, ""},
    {{"x"}, "x "},
    {{"a b"}, "\"a b\" "},
    {{"a\tb"}, "\"a\tb\" "},
    {{" lead"}, "\" lead\" "},
    {{"a\\ b"}, "\"a\\ b\" "},
    {{"\\\\ b"}, "\"\\\\ b\" "},
    {{"\\  b"}, "\"\\  b\" "},
    {{"", "z"}, "\"\" z "},
    {{"say \"hi\""}, "\"say \\\"hi\\\"\" "},
    {{"a\"b"}, "a\\\"b "},
    {{"a\\\"b"}, "a\\\\\\\"b "},
    {{"ends in\\"}, "\"ends in\\\\\" "},
    {{"c:\\dir\\"}, "c:\\dir\\ "},
    {{"\\\\server\\share"}, "\\\\server\\share "},
    {{"*", "?", "*.txt"}, "* ? *.txt "},
    {{"--help"}, "--help "},  // the launcher's own words, after a program, are the program's
    {{"--time-limit=1", "--", "-x"}, "--time-limit=1 -- -x "},
    {{"line\nfeed", "\r\v\f"}, "line\nfeed \r\v\f "},
};

// The line the child is started with, and that the child reads back what it was given.
TEST(CommandLine, QuotesOnlyWhatNeedsItAndTheChildGetsEveryArgumentBack)
{
    const std::string program = helper("print_args");
    for (const Quoting& c : quotings) {
        Words words{program};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        const Outcome run = runLauncher(words);
        EXPECT_TRUE(run.out.starts_with(running(program + " " + c.composed))) << c.composed;
        EXPECT_EQ(receivedArguments(run.out), words) << c.composed;
    }
}

TEST(CommandLine, AProgramWhosePathHoldsASpaceIsWrappedAndStarted)
{
    Scratch scratch;
    const fs::path folder = scratch.path / "my app";
    fs::create_directories(folder);
    const fs::path file = folder / ("print args" + executableSuffix);
    fs::copy_file(helperFile("print_args"), file);
    const std::string program = launcherName(file);

    const Outcome run = runLauncher({program, "x", "two words", "quote\"d", "back\\"});
    EXPECT_TRUE(run.out.starts_with(running("\"" + program + "\" x \"two words\" quote\\\"d back\\ ")))
        << run.out;
    EXPECT_EQ(receivedArguments(run.out), (Words{program, "x", "two words", "quote\"d", "back\\"}));
}

// Whatever the script and whatever the code page, a path or an argument arrives whole: a
// program in a folder named in Hangul runs, and a child that reads its arguments as
// characters gets every one of them unchanged, unit for unit.
TEST(CommandLine, PathsAndArgumentsInAnyScriptArriveWhole)
{
    Scratch scratch;
    const fs::path file = scratch.path / "한국" / (textChild + executableSuffix);
    fs::create_directories(file.parent_path());
    fs::copy_file(helperFile(textChild), file);
    const std::string program = launcherName(file);
    Words arguments = {"한국어", "😀", "ö ß ñ ç", "運", "\"運\" \\"};
    for (const Quoting& quoting : quotings) arguments.insert(arguments.end(), quoting.arguments.begin(), quoting.arguments.end());
    for (const Locale& locale : {westernText, chineseText}) {
        Words words{program}, received{unitsOf(program)};
        for (const std::string& argument : arguments) words.push_back(argument), received.push_back(unitsOf(argument));
        const Outcome run = runLauncher(words, locale);
        EXPECT_EQ(run.status, 0) << locale.name << ": " << run.err;
        EXPECT_EQ(receivedArguments(run.out), received) << locale.name;
        // A file or pipe gets the running line in GBK, and a '?' for what GBK lacks.
        EXPECT_TRUE(run.out.starts_with(shown("正在运行:" + program + " 한국어 "))) << run.out;
    }
}

TEST(CommandLine, WildcardsReachTheChildUnexpandedAmongMatchingFiles)
{
    Scratch scratch;
    for (const char* name : {"a.txt", "b.txt", "c"}) std::fclose(std::fopen((scratch.path / name).c_str(), "w"));
    const fs::path before = fs::current_path();
    fs::current_path(scratch.path);
    expectRoundTrip({helper("print_args"), "*", "?", "*.txt", "[ab].txt"});
    fs::current_path(before);
}

TEST(CommandLine, RandomArgumentsOfAnyByteReachTheChildUnchanged)
{
    std::mt19937 random(20261208);
    const std::string awkward = " \t\"\\";
    const auto byte = [&] {
        const unsigned pick = random() % 512;
        if (pick < 256) return awkward[pick % awkward.size()];
        const unsigned any = 1 + pick % 255;
        // Wine passes 0x80 to 0x9F of code page 1252 on as other characters.
        return static_cast<char>(onWindows && any >= 0x80 && any < 0xA0 ? any - 0x80 + 1 : any);
    };
    for (int run = 0; run < randomRuns; ++run) {
        Words words{helper("print_args")};
        for (unsigned count = random() % mostArguments; count > 0; --count) {
            std::string& argument = words.emplace_back();
            for (unsigned length = random() % 12; length > 0; --length) argument += byte();
        }
        expectRoundTrip(words);
        if (HasFailure()) break;
    }
}

// On a Chinese system the child's C runtime reads 運 (DF 5C) as one character, so its
// second byte is no backslash: it must not be doubled before a quote, nor escape one.
TEST(CommandLine, AGbkCharacterEndingInTheBackslashByteStaysOneCharacter)
{
    if (!onWindows) GTEST_SKIP() << "only the Windows target runs on a double-byte code page";
    const std::string yun = "\xdf\x5c";
    struct Case {
        std::string argument;
        std::string composed;
    };
    const Case cases[] = {
        {yun, yun + " "},
        {yun + yun, yun + yun + " "},
        {yun + "\"", yun + "\\\" "},
        {"say \"" + yun + "\"", "\"say \\\"" + yun + "\\\"\" "},
        {yun + " b", "\"" + yun + " b\" "},
        {"a " + yun, "\"a " + yun + "\" "},
        {"c:\\" + yun + "\\", "c:\\" + yun + "\\ "},
        {"c:\\my " + yun + "\\", "\"c:\\my " + yun + "\\\\\" "},
    };
    const std::string program = helper("print_args");
    for (const Case& c : cases) {
        const Words words{program, c.argument, "after"};
        const Outcome run = runLauncher(words, chinese);
        EXPECT_TRUE(run.out.starts_with(running(program + " " + c.composed + "after "))) << run.out;
        EXPECT_EQ(receivedArguments(run.out), words) << c.composed;
    }
}

}  // namespace

namespace {

// Judged as a judge judges: the output compared with its answer as it comes, shown as the
// program wrote it, and a verdict after the report; 0 when accepted, 1 when not.
TEST(Judge, AVerdictAfterTheReportAndTheOutputAsTheProgramWroteIt)
{
    Scratch scratch;
    const std::string copy = helper("copy_input"), looping = helper("exit_with");
    // Standard error apart from standard output holds whole lines.
    const std::string accepted = "AC 答案正确\n", wrong = "WA 答案错误";
    struct Case {
        const char* what;
        Words options, program;
        std::string input, answer;
        int status;
        std::string verdict;
    };
    const Case cases[] = {
        {"blanks at the ends of lines", {}, {copy}, "1 2  \n3\t\n", "1 2\n3\n", 0, accepted},
        {"an answer with CRLF", {}, {copy}, "1\n2\n", "1\r\n2\r\n", 0, accepted},
        {"no final line feed", {}, {copy}, "1\n2", "1\n2\n", 0, accepted},
        {"empty lines at the end", {}, {copy}, "1\n\n\n", "1\n", 0, accepted},
        {"a blank more in the middle", {}, {copy}, "1  2\n", "1 2\n", 1, wrong + ": 第 1 行不同\n  应为: 1 2\n  实为: 1  2\n"},
        {"a number within the error", {"--float-error=1e-6"}, {copy}, "0.3333334\n", "0.333333\n", 0, accepted},
        {"a number outside it", {"--float-error", "0.000001"}, {copy}, "1\n0.334\n", "1\n0.333333\n", 1,
         wrong + ": 第 2 行不同\n  应为: 0.333333\n  实为: 0.334\n"},
        {"a word for a number", {"--float-error=1e-6"}, {copy}, "x\n", "1\n", 1, wrong + ": 第 1 行不同\n  应为: 1\n  实为: x\n"},
        {"ended early", {}, {copy}, "1\n", "1\n2\n", 1, wrong + ": 输出在第 2 行提前结束\n"},
        {"went on", {}, {copy}, "1\n2\n", "1\n", 1, wrong + ": 输出在第 2 行超出了答案\n"},
        {"a status of its own", {}, {copy, "3"}, "1\n", "1\n", 1, "RE 运行错误\n"},
        {"a crash", {}, {looping, "null"}, "", "1\n", 1, "RE 运行错误\n"},
        {"past the time limit", {"--time-limit=0.5"}, {looping, "cpu", "1000"}, "", "1\n", 1, "TLE 超出时间限制\n"},
        {"past the memory limit", {"--memory-limit=64"}, {looping, "memory", "200"}, "", "1\n", 1, "MLE 超出内存限制\n"},
    };
    const std::string input = (scratch.path / "case.in").string(), answer = (scratch.path / "case.out").string();
    for (const Case& c : cases) {
        std::ofstream(input, std::ios::binary) << c.input;
        std::ofstream(answer, std::ios::binary) << c.answer;
        Words words{"--input=" + launcherName(input), "--expect", launcherName(answer)};
        words.insert(words.end(), c.options.begin(), c.options.end());
        words.insert(words.end(), c.program.begin(), c.program.end());
        Launch launch(words);
        EXPECT_EQ(launch.end(), c.status) << c.what << ": " << launch.err;
        EXPECT_TRUE(launch.err.ends_with(shown(c.verdict))) << c.what << ":\n" << launch.err;
        // What the program wrote, as it wrote it, between the running line and the report.
        if (c.program[0] == copy) {
            EXPECT_NE(launch.out.find(written("\n\n") + c.input + shown("\n进程退出返回值 " + std::to_string(c.status == 1 && c.program.size() > 1 ? 3 : 0))),
                      std::string::npos) << c.what << ":\n" << launch.out;
        }
    }
}

// Every case of a folder, in natural order, its output under its name and a line for it; a
// case without an answer is run and shown, and judged by nobody; the count at the end.
TEST(Judge, EachCaseOfAFolderInNaturalOrderAndACountAtTheEnd)
{
    Scratch scratch;
    const auto write = [&scratch](const std::string& name, const std::string& text) {
        std::ofstream(scratch.path / name, std::ios::binary) << text;
    };
    for (const char* name : {"1", "2", "10", "3"}) write(std::string(name) + ".in", std::string("in ") + name + "\n");
    write("1.out", "in 1\n");
    write("2.ans", "in two\n");
    write("10.out", "in 10\n");
    write("notes.txt", "not a case\n");
    Launch launch({"--tests=" + launcherName(scratch.path), helper("copy_input")});
    EXPECT_EQ(launch.end(), 1) << launch.err;
    std::size_t at = 0;
    for (const char* name : {"1", "2", "3", "10"}) {
        const std::size_t found = launch.out.find(shown(std::string("\n测试 ") + name + "\n") + "in " + name + "\n", at);
        EXPECT_NE(found, std::string::npos) << name << " after " << at << ":\n" << launch.out;
        at = found;
    }
    for (const std::string line : {"测试 1: AC   运行时间 : ", "测试 2: WA   运行时间 : ", "测试 3:   运行时间 : ",
                                   "测试 10: AC   运行时间 : ", "\n  应为: in two\n  实为: in 2\n"}) {
        EXPECT_NE(launch.err.find(shown(line)), std::string::npos) << line << ":\n" << launch.err;
    }
    EXPECT_TRUE(launch.err.ends_with(shown("\n通过 2/3\n"))) << launch.err;
    // A program that cannot start is said so, as ever, and no case is judged.
    Launch missing({"--tests=" + launcherName(scratch.path), launcherName(scratch.path / "missing")});
    EXPECT_EQ(missing.end(), 127) << missing.err;
    EXPECT_EQ(missing.err.find(shown("通过")), std::string::npos) << missing.err;
}

// What is to be judged must be there: a file or folder that cannot be read, a folder with no
// case, options that cannot go together, are usage errors, and nothing runs.
TEST(Judge, WhatCannotBeReadIsAUsageErrorAndNothingRuns)
{
    Scratch scratch;
    const std::string missing = launcherName(scratch.path / "missing"), empty = launcherName(scratch.path);
    const std::string notFound = onWindows ? "File not found." : "找不到文件或目录";
    struct Case {
        Words arguments;
        std::string err;
    };
    const Case cases[] = {
        {{"--input=" + missing}, "无法读取 " + missing + ": " + notFound + "\n"},
        {{"--expect=" + missing}, "无法读取 " + missing + ": " + notFound + "\n"},
        {{"--tests", empty}, empty + " 中没有测试 (NAME.in，答案为 NAME.out 或 NAME.ans)\n"},
        {{"--tests=" + empty, "--input=x"}, "--tests 与 --input 不能同时使用\n"},
        {{"--float-error=-1"}, "--float-error 的值无效: \"-1\" (应为不小于 0 的数，如 0.000001 或 1e-6)\n"},
    };
    for (const Case& c : cases) {
        Words words = c.arguments;
        words.push_back(helper("copy_input"));
        Launch launch(words);
        EXPECT_EQ(launch.end(), 125) << c.err;
        EXPECT_EQ(launch.err, shown(usageName + ": " + c.err));
        EXPECT_EQ(launch.out, "") << c.err;
    }
}

// For an IDE whose command line cannot change: PIMBREL_TESTS names a folder that holds a
// folder of cases for each program, by the program's name; a program without one runs as
// ever.
TEST(Judge, TheEnvironmentNamesAFolderOfCasesForEachProgram)
{
    Scratch scratch;
    fs::create_directories(scratch.path / "copy_input");
    std::ofstream(scratch.path / "copy_input" / "sample.in") << "5\n";
    std::ofstream(scratch.path / "copy_input" / "sample.out") << "5\n";
    const std::string folder = "PIMBREL_TESTS=" + launcherName(scratch.path);
    Launch judged({helper("copy_input")}, {.in = {Stream::file, "/dev/null"}}, western,
                  [&folder] { putenv(const_cast<char*>(folder.c_str())); });
    EXPECT_EQ(judged.end(), 0) << judged.err;
    EXPECT_TRUE(judged.err.ends_with(shown("\n通过 1/1\n"))) << judged.err;
    Launch usual({helper("exit_with"), "3"}, {}, western, [&folder] { putenv(const_cast<char*>(folder.c_str())); });
    EXPECT_EQ(usual.end(), 3) << usual.err;
    EXPECT_EQ(costIn(usual.err).before, "");
}

// However long the output, the launcher holds no more of it than a pipe's worth.
TEST(Judge, AHundredMegabytesOfOutputTakeNoMoreOfTheLaunchersMemory)
{
    if (onWindows) GTEST_SKIP() << "measured with GNU time, natively";
#ifdef PIMBREL_SANITIZED
    GTEST_SKIP() << "the address sanitizer's own memory is the launcher's, and the system counts it";
#endif
    Scratch scratch;
    const std::string sample = (scratch.path / "big.in").string(), figure = (scratch.path / "figure").string();
    {
        std::ofstream big(sample, std::ios::binary);
        const std::string line = "1234567 89\n";
        for (int i = 0; i < 100 * 1024 * 1024 / static_cast<int>(line.size()); ++i) big << line;
    }
    const pid_t time = fork();
    if (time == 0) {
        exec({"/usr/bin/time", "-f", "%M", PIMBREL_PATH, "--input=" + sample, "--expect=" + sample, helperFile("copy_input")},
             western, {.in = {Stream::file, "/dev/null"}, .out = {Stream::file, "/dev/null"}, .err = {Stream::file, figure}});
    }
    EXPECT_EQ(reap(time), 0);
    std::ifstream read(figure);
    const std::string err(std::istreambuf_iterator<char>(read), {});
    EXPECT_NE(err.find("AC"), std::string::npos) << err;
    // GNU time's figure ends what the run wrote there.
    std::size_t digits = err.find_last_not_of('\n') + 1, end = digits;
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(err[digits - 1]))) --digits;
    const double kibibytes = std::stod(err.substr(digits, end - digits));
    EXPECT_LT(kibibytes, 8 * 1024) << err;
}

}  // namespace
