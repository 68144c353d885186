// The launcher under bad input and hostile conditions: whatever happens to the child or to
// the launcher's own streams, it ends with the child's exit code and leaves nothing behind.

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

TEST(Faults, AProgramThatIsNoProgramIsReportedNotRun)
{
    Scratch scratch;
    const fs::path garbage = scratch.path / "garbage";
    std::ofstream(garbage) << "not a program\n";
    fs::permissions(garbage, fs::perms::owner_all);
    struct Case {
        std::string program, reason;
        int status;
    };
    const Case cases[] = {
        {garbage, "Exec format error", 126},
        {"", "No such file or directory", 127},
    };
    for (const Case& c : cases) {
        Launch launch({c.program, "x"});
        EXPECT_EQ(launch.end(), c.status) << c.program;
        EXPECT_EQ(launch.err, shown("无法启动: " + c.reason + "\n")) << c.program;
        EXPECT_NE(launch.out.find("(0x7"), std::string::npos) << launch.out;
    }
}

TEST(Faults, OutputThatIsClosedFullOrGoneNeitherStopsTheChildNorLosesItsCode)
{
    struct Case {
        Streams streams;
        Words child;
        int status;
    };
    const Case cases[] = {
        {{.out = {Stream::closed}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::file, "/dev/full"}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::brokenPipe}}, {helper("exit_with"), "7"}, 7},
        {{.out = {Stream::closed}}, {helper("print_args"), "x"}, 0},
        // The child starts with SIGPIPE at its default, so writing into the dead pipe kills it.
        {{.out = {Stream::brokenPipe}}, {helper("print_args"), "x"}, 128 + SIGPIPE},
    };
    for (const Case& c : cases) {
        Launch launch(c.child, c.streams);
        EXPECT_EQ(launch.end(), c.status) << static_cast<int>(c.streams.out.kind) << " " << c.child[0];
        const std::string killed = "\n程序被信号 13 (SIGPIPE) 终止: 向已无人读取的管道写入";
        EXPECT_EQ(costIn(launch.err).before, c.status == 128 + SIGPIPE ? killed : "");
    }
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
    EXPECT_EQ(costIn(launch.err).before,
              shown("\n程序被信号 6 (SIGABRT) 终止: 程序调用 abort 中止 (如断言失败或未捕获的异常)" + core));
}

TEST(Faults, TermAndHangupArePassedToTheChildAndItsEndReported)
{
    for (int signal : {SIGTERM, SIGHUP}) {
        Launch launch({helper("sleeper"), "60000"});
        ASSERT_TRUE(launch.waitFor("started"));
        kill(launch.pid, signal);
        EXPECT_EQ(launch.end(), 128 + signal);
        const std::string code = std::to_string(128 + signal);
        EXPECT_NE(launch.out.find(shown("进程退出返回值 " + code + " (0x")), std::string::npos) << launch.out;
    }
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

Words manyArguments(int count)
{
    Words words{helper("print_args")};
    for (int i = 0; i < count; ++i) words.push_back(i % 3 == 0 ? "a \"" + std::to_string(i) : std::to_string(i) + "\\");
    return words;
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
    EXPECT_EQ(launch.err, shown("无法启动: Argument list too long\n"));
}

TEST(Faults, NoMemoryIsOneClearLineAndNoCrash)
{
#ifdef PIMBREL_SANITIZED
    GTEST_SKIP() << "the address sanitizer cannot start under a data limit";
#endif
    struct Case {
        Words arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        // No room for the command line itself: the launcher's own failure, nothing started.
        {Words(16, std::string(100000, 'x')), 125, "无法分配命令行: 内存不足\n"},
        // Room for the line but not for the child's argument vector: the child cannot start.
        {Words(150000, "a"), 126, "无法启动: Cannot allocate memory\n"},
    };
    for (const Case& c : cases) {
        Words words{helper("print_args")};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        Launch launch(words, {}, western, [] {
            const rlimit tight{1 << 20, 1 << 20};
            setrlimit(RLIMIT_DATA, &tight);
        });
        EXPECT_EQ(launch.end(), c.status);
        EXPECT_EQ(launch.err, shown(c.message));
        EXPECT_EQ(launch.out.empty(), c.status == 125);
    }
}

}  // namespace
