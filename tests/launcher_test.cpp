// What the launcher does for the program it runs, seen through its output and exit status.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

std::string report(const std::string& code, const std::string& hex)
{
    return shown("\n进程退出返回值 " + code + " (0x" + hex + ")   运行时间 : <t> 秒\n按任意键继续...\n");
}

std::string running(const std::string& commandLine)
{
    return shown("正在运行:") + commandLine + shown("\n\n");
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
void expectRoundTrip(const Words& words)
{
    const Outcome run = runLauncher(words);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(receivedArguments(run.out), words) << run.out;
}

constexpr int randomVectors = 3000;

// A scratch folder of the test's own, removed with it.
struct Scratch {
    fs::path path = fs::temp_directory_path() / ("pimbrel-test-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(path); }
    ~Scratch() { fs::remove_all(path); }
};

TEST(Usage, WithoutAProgramPrintsBannerAndUsageAndEndsWithOne)
{
    const Outcome run = runLauncher({});
    EXPECT_EQ(run.out, shown("Tavrune IDE 程序运行插件 - Oltmera 出品\n"
                             "用法: pimbrel <EXE 路径> <参数 ...>\n"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 1);
}

TEST(Running, ShowsTheRunningLineTheChildsOutputAndTheReport)
{
    const std::string program = helper("print_args");
    const Outcome run = runLauncher({program, "x"});
    EXPECT_EQ(withoutTime(run.out), running(program + " x ") + "arg:" + hex(program) + shown("\n") +
                                        "arg:78" + shown("\n") + report("0", "0"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST(Running, EndsWithTheChildsExitCodeAndReportsItInDecimalAndHex)
{
    struct Case {
        Words how;
        int status;
        std::string decimal, hex;
    };
    const Case cases[] = {
        {{"0"}, 0, "0", "0"},
        {{"1"}, 1, "1", "1"},
        {{"255"}, 255, "255", "FF"},
        // Killed by a signal: 128 + its number, as the shells report it.
        {{"signal", "9"}, 137, "137", "89"},
        {{"signal", "11"}, 139, "139", "8B"},
        {{"signal", "6"}, 134, "134", "86"},
    };
    for (const Case& c : cases) {
        Words words{helper("exit_with")};
        words.insert(words.end(), c.how.begin(), c.how.end());
        const Outcome run = runLauncher(words);
        EXPECT_EQ(run.status, c.status) << c.how.back();
        EXPECT_TRUE(withoutTime(run.out).ends_with(report(c.decimal, c.hex))) << run.out;
    }
}

TEST(Running, AProgramThatCannotStartIsReportedWithTheShellsStatus)
{
    Scratch scratch;
    const std::string unrunnable = (scratch.path / "not-executable").string();
    std::fclose(std::fopen(unrunnable.c_str(), "w"));
    struct Case {
        std::string program;
        std::string reason;
        int status;
        std::string hex;
    };
    const Case cases[] = {
        {(scratch.path / "missing").string(), "No such file or directory", 127, "7F"},
        {"no-such-program-on-the-path", "No such file or directory", 127, "7F"},
        {unrunnable, "Permission denied", 126, "7E"},
        {scratch.path.string(), "Permission denied", 126, "7E"},
    };
    for (const Case& c : cases) {
        const Outcome run = runLauncher({c.program, "x"});
        EXPECT_EQ(run.err, shown("无法启动: " + c.reason + "\n")) << c.program;
        EXPECT_EQ(run.status, c.status) << c.program;
        EXPECT_EQ(withoutTime(run.out), running(c.program + " x ") +
                                            report(std::to_string(c.status), c.hex));
    }
}

// The line the child is started with, and that the child reads back what it was given.
TEST(CommandLine, QuotesOnlyWhatNeedsItAndTheChildGetsEveryArgumentBack)
{
    struct Case {
        Words arguments;
        std::string composed;  // after the program and its space
    };
    const Case cases[] = {
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
        {{"line\nfeed", "\r\v\f"}, "line\nfeed \r\v\f "},
    };
    const std::string program = helper("print_args");
    for (const Case& c : cases) {
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
    const std::string program = (folder / "print args").string();
    fs::copy_file(helper("print_args"), program);

    const Outcome run = runLauncher({program, "x", "two words", "quote\"d", "back\\"});
    EXPECT_TRUE(run.out.starts_with(running("\"" + program + "\" x \"two words\" quote\\\"d back\\ ")))
        << run.out;
    EXPECT_EQ(receivedArguments(run.out), (Words{program, "x", "two words", "quote\"d", "back\\"}));
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
        return pick < 256 ? awkward[pick % awkward.size()] : static_cast<char>(1 + pick % 255);
    };
    for (int vector = 0; vector < randomVectors; ++vector) {
        Words words{helper("print_args")};
        for (unsigned count = random() % 6; count > 0; --count) {
            std::string& argument = words.emplace_back();
            for (unsigned length = random() % 12; length > 0; --length) argument += byte();
        }
        expectRoundTrip(words);
        if (HasFailure()) break;
    }
}

}  // namespace
