// The launcher under bad input and hostile conditions: whatever happens to the child or to
// the launcher's own streams, it ends with the child's exit code and leaves nothing behind.

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

// What no system can start is reported; a file of commands without "#!" runs with sh, as
// execvp and the shells run it, whether named by its path or found on the PATH. A binary
// the system refuses (an object file, a program for another machine) is no script.
TEST(Faults, AProgramThatIsNoProgramIsReportedNotRunAndAScriptWithoutInterpreterRuns)
{
    Scratch scratch;
    const fs::path script = scratch.path / "script", object = scratch.path / "object", zeros = scratch.path / "zeros";
    // Each argument in brackets: sh must get them one by one, as they were given.
    std::ofstream(script) << "printf ran; printf ' [%s]' \"$@\"; echo; exit 4\n";
    std::ofstream(object) << std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x3e\x00", 20)
                          << "\necho ran\n";
    std::ofstream(zeros) << std::string(100, '\0');
    for (const fs::path& file : {script, object, zeros}) fs::permissions(file, fs::perms::owner_all);
    const auto onPath = [&scratch] { setenv("PATH", ("/nowhere:" + scratch.path.string() + ":/bin").c_str(), 1); };
    struct Case {
        std::string program;
        std::function<void()> inChild;
        std::string out, err;
        int status;
    };
    const Case cases[] = {
        {script, {}, "ran [x] [two words]\n", "", 4},
        {"script", onPath, "ran [x] [two words]\n", "", 4},
        {"", {}, "", "pimbrel: 无法启动 : 找不到文件或目录\n", 127},
        {object, {}, "", "pimbrel: 无法启动 " + object.string() + ": 不是能运行的程序 (可执行文件格式错误)\n", 126},
        {zeros, {}, "", "pimbrel: 无法启动 " + zeros.string() + ": 不是能运行的程序 (可执行文件格式错误)\n", 126},
    };
    for (const Case& c : cases) {
        Launch launch({c.program, "x", "two words"}, {}, western, c.inChild);
        EXPECT_EQ(launch.end(), c.status) << c.program;
        // A program that ran says what it cost; one that did not, why.
        if (c.err.empty()) {
            EXPECT_EQ(costIn(launch.err).before, "") << c.program;
        } else {
            EXPECT_EQ(launch.err, shown(c.err)) << c.program;
        }
        EXPECT_NE(launch.out.find("\n\n" + c.out + shown("\n进程退出返回值 " + std::to_string(c.status))), std::string::npos)
            << launch.out;
    }
}

TEST(Faults, OutputThatIsClosedFullOrGoneNeitherStopsTheChildNorLosesItsCode)
{
    struct Case {
        Streams streams;
        Words child;
        int status;
        std::function<void()> inChild = {};
    };
    const Case cases[] = {
        {{.out = {Stream::closed}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::file, "/dev/full"}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::brokenPipe}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::closed}}, {helper("print_args"), "x"}, 0},
        // The child starts with SIGPIPE as the launcher was given it: at its default, writing
        // into the dead pipe kills it; ignored, the write fails and the child goes on.
        {{.out = {Stream::brokenPipe}}, {helper("print_args"), "x"}, 128 + SIGPIPE},
        {{.out = {Stream::brokenPipe}}, {"/bin/sh", "-c", "echo x 2>/dev/null; exit 7"}, 7, [] { std::signal(SIGPIPE, SIG_IGN); }},
    };
    for (const Case& c : cases) {
        Launch launch(c.child, c.streams, western, c.inChild);
        EXPECT_EQ(launch.end(), c.status) << static_cast<int>(c.streams.out.kind) << " " << c.child[0];
        const std::string killed = "程序被信号 13 (SIGPIPE) 终止: 向已无人读取的管道写入\n";
        EXPECT_EQ(costIn(launch.err).before, c.status == 128 + SIGPIPE ? killed : "");
    }
}

// A child may leave the output it shares with the launcher non-blocking (libuv and Node
// programs do), and full: the launcher waits for its reader as a blocking write would.
TEST(Faults, AFullOutputLeftNonBlockingLosesNoLineOfTheLaunchers)
{
    Scratch scratch;
    const fs::path filled = scratch.path / "filled";
    Launch launch({"/bin/sh", "-c", "dd if=/dev/zero bs=1 oflag=nonblock 2>/dev/null; touch " + filled.string()});
    for (int tries = 0; !fs::exists(filled) && tries < 60000; ++tries) usleep(1000);
    EXPECT_EQ(launch.end(), 0);
    EXPECT_TRUE(withoutTime(launch.out).ends_with(shown("\n进程退出返回值 0 (0x0)   运行时间 : <t> 秒\n按任意键继续...\n")));
    EXPECT_EQ(costIn(launch.err).before, "");
}

TEST(Faults, AReaderThatGoesAwayDuringTheRunDoesNotKillTheLauncher)
{
    Launch launch({helper("sleeper"), "300"});
    ASSERT_TRUE(launch.waitFor("started"));
    launch.stopReading();
    EXPECT_EQ(launch.end(), 0);
}

// A caller may hand the launcher SIGCHLD ignored, which would have the system reap the
// child before the launcher learns its status.
TEST(Faults, AnIgnoredChildSignalFromTheCallerDoesNotLoseTheExitCode)
{
    Launch launch({helper("exit_with"), "7"}, {}, western, [] { std::signal(SIGCHLD, SIG_IGN); });
    EXPECT_EQ(launch.end(), 7);
    EXPECT_NE(launch.out.find(shown("进程退出返回值 7 (0x7)")), std::string::npos) << launch.out;
}

// Whether a crash left a core dump is the system's to decide, by its limits and its core
// pattern: the launcher says so exactly when the system made one.
TEST(Faults, ACoreDumpIsSaidWhenTheSystemMadeOne)
{
    Scratch scratch;
    const auto dumpHere = [&scratch] {
        rlimit core{};
        getrlimit(RLIMIT_CORE, &core);
        core.rlim_cur = core.rlim_max;
        setrlimit(RLIMIT_CORE, &core);
        if (chdir(scratch.path.c_str()) != 0) _exit(121);
        // A launcher built with the address sanitizer would switch them off for itself, and so
        // for its child.
        setenv("ASAN_OPTIONS", "disable_coredump=0", 1);
    };
    // The same crash in the same place, without the launcher: did the system dump a core?
    int status = 0;
    const pid_t crash = fork();
    if (crash == 0) exec({helperFile("exit_with"), "abort"}, western, {}, dumpHere);
    waitpid(crash, &status, 0);

    Launch launch({helper("exit_with"), "abort"}, {}, western, dumpHere);
    EXPECT_EQ(launch.end(), 134);
    const std::string core = WCOREDUMP(status) ? "，已生成核心转储" : "";
    EXPECT_EQ(costIn(launch.err).before, shown("程序被信号 6 (SIGABRT) 终止: abort 中止，如断言失败、异常未捕获" + core + "\n"));
}

// Whatever a caller sends to ask for an end, the program gets it, and the launcher stays to
// report the program's end: never gone first, the program left running.
TEST(Faults, EveryRequestToEndIsPassedToTheChildAndItsEndReported)
{
    const auto noCore = [] {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
    };
    for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF}) {
        Launch launch({helper("sleeper"), "60000"}, {}, western, noCore);
        ASSERT_TRUE(launch.waitFor("started"));
        kill(launch.pid, signal);
        EXPECT_EQ(launch.end(), 128 + signal);
        const std::string code = std::to_string(128 + signal);
        EXPECT_NE(launch.out.find(shown("进程退出返回值 " + code + " (0x")), std::string::npos) << launch.out;
    }
}

Words manyArguments(int count)
{
    Words words{helper("print_args")};
    for (int i = 0; i < count; ++i) words.push_back(i % 3 == 0 ? "a \"" + std::to_string(i) : std::to_string(i) + "\\");
    return words;
}

// A shell without job control: runs the launcher as a member of the shell's own process
// group, and passes an end request on to it alone.
pid_t launcherOfShell;
void passOnToLauncher(int signal) { kill(launcherOfShell, signal); }
void runUnderAShell()
{
    std::signal(SIGTERM, passOnToLauncher);
    launcherOfShell = fork();
    if (launcherOfShell != 0) _exit(reap(launcherOfShell));
    std::signal(SIGTERM, SIG_DFL);
}

// The state /proc shows of a process: 'T' when it is stopped.
char stateOf(const std::string& pid)
{
    std::ifstream file("/proc/" + pid + "/stat");
    const std::string stat(std::istreambuf_iterator<char>(file), {});
    const std::size_t end = stat.rfind(')');
    return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

// An end request reaches a stopped program too. When the launcher leads its job, the whole
// job gets it, so that nothing the program started lingers holding the output open; a
// group it does not lead is not the launcher's to end.
TEST(Faults, AnEndRequestReachesAStoppedProgramAndAllOfTheJobTheLauncherLeads)
{
    const Words lingering{"/bin/sh", "-c", "(sleep 1; echo lingered) & echo started; wait"};
    struct Case {
        Words child;
        std::function<void()> inChild;
        bool lingered;
    };
    const Case cases[] = {
        {{"/bin/sh", "-c", "echo started $$; kill -STOP $$; exit 3"}, {}, false},
        {lingering, {}, false},
        {lingering, runUnderAShell, true},
    };
    for (const Case& c : cases) {
        Launch launch(c.child, {}, western, c.inChild);
        // Their lines, not the running line that shows their commands.
        ASSERT_TRUE(launch.waitFor("\nstarted"));
        const std::size_t pid = launch.out.find("\nstarted ");
        const std::string child = pid == std::string::npos ? "" : launch.out.substr(pid + 9, launch.out.find('\n', pid + 1) - pid - 9);
        for (int tries = 0; !child.empty() && stateOf(child) != 'T' && tries < 10000; ++tries) usleep(1000);
        kill(launch.pid, SIGTERM);
        EXPECT_EQ(launch.end(), 128 + SIGTERM) << c.child.back();
        EXPECT_EQ(launch.out.find("\nlingered") != std::string::npos, c.lingered) << c.child.back();
    }
}

// Asked to end while it still writes the running line into a pipe that is slow to take it,
// the launcher writes the whole line and starts nothing.
TEST(Faults, AnEndRequestBeforeTheProgramStartsLeavesItUnstarted)
{
    Launch launch(manyArguments(100000));
    ASSERT_TRUE(launch.waitFor(shown("正在运行:")));
    kill(launch.pid, SIGTERM);
    EXPECT_EQ(launch.end(), 128 + SIGTERM);
    EXPECT_TRUE(launch.out.ends_with(" \"a \\\"99999\" \n\n")) << launch.out.substr(launch.out.size() - 200);
    EXPECT_EQ(launch.err, "");
}

TEST(Faults, EveryByteValueAndBrokenEncodingsReachTheChildUnchanged)
{
    std::string everyByte;
    for (int byte = 1; byte < 256; ++byte) everyByte += static_cast<char>(byte);
    const Words words{helper("print_args"), everyByte, "\xff\xfe\xc0\x80\xed\xa0\x80", "\x81\x5c", "\x81", "\xdf\x5c\"", "\\\xdf\x5c \\"};
    Launch launch(words);
    EXPECT_EQ(launch.end(), 0);
    EXPECT_EQ(receivedArguments(launch.out), words);
}

TEST(Faults, AHundredThousandArgumentsReachTheChildWhole)
{
    const Words words = manyArguments(100000);
    Launch launch(words);
    EXPECT_EQ(launch.end(), 0);
    EXPECT_EQ(receivedArguments(launch.out), words);
}

TEST(Faults, ArgumentsOverTheSystemsLimitAreAStartFailure)
{
    // The launcher blocks on its running line, longer than the pipe holds, until we read;
    // meanwhile its limit shrinks below what the child needs.
    Launch launch(manyArguments(100000));
    ASSERT_TRUE(launch.waitFor(shown("正在运行:")));
    const rlimit small{4 << 20, 4 << 20};  // the child may take a quarter of it: 1 MiB
    ASSERT_EQ(prlimit(launch.pid, RLIMIT_STACK, &small, nullptr), 0);
    EXPECT_EQ(launch.end(), 126);
    EXPECT_EQ(launch.err, shown("pimbrel: 无法启动 " + helper("print_args") + ": 参数列表过长\n"));
}

TEST(Faults, NoMemoryIsOneClearLineAndNoCrash)
{
#ifdef PIMBREL_SANITIZED
    GTEST_SKIP() << "the address sanitizer cannot start under a data limit";
#endif
    struct Case {
        Words arguments;
        int status;
        std::string message;  // none: the child ran and got them all
    };
    const Case cases[] = {
        // More than the launcher could hold as a command line: it needs no room for one,
        // as it writes the line while it composes it.
        {Words(16, std::string(100000, 'x')), 0, ""},
        // Room for the line but not for what the C library sets aside to start a child with
        // so many arguments (room for their vector): the child cannot start.
        {Words(150000, "a"), 126, "pimbrel: 无法启动 " + helper("print_args") + ": 内存不足\n"},
    };
    for (const Case& c : cases) {
        Words words{helper("print_args")};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        Launch launch(words, {}, western, [] {
            const rlimit tight{1 << 20, 1 << 20};
            setrlimit(RLIMIT_DATA, &tight);
        });
        EXPECT_EQ(launch.end(), c.status);
        if (c.message.empty()) {
            EXPECT_EQ(costIn(launch.err).before, "");
            EXPECT_EQ(receivedArguments(launch.out), words);
        } else {
            EXPECT_EQ(launch.err, shown(c.message));
            EXPECT_EQ(launch.out.empty(), c.status == 125);
        }
    }
}

}  // namespace
