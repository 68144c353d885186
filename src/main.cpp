// pimbrel: runs a program in this console for an IDE, reports how it ended and how long it
// took, and keeps the window open until a key is pressed.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>

#include "platform.h"
#include "texts.h"

// Arguments reach main exactly as typed: a star is the child's to expand, not ours.
int _CRT_glob = 0;  // NOLINT(bugprone-reserved-identifier): the name is the C runtime's

// Exit statuses of the launcher's own, as env and timeout use them.
constexpr int noProgramNamed = 1;
constexpr int launcherFailed = 125;
constexpr int cannotRun = 126;
constexpr int notFound = 127;

bool hasSpaces(const char* text)
{
    if (text == nullptr) return false;
    for (; *text != '\0'; ++text) {
        if (*text == ' ' || *text == '\t') return true;
    }
    return false;
}

// Writes one argument so that the child's C runtime reads back exactly these bytes: wrapped
// in quotes when it holds a blank or is empty, an inner quote escaped, and the backslashes
// that stand before a quote doubled. All other bytes go out unchanged. The walk goes by
// characters, as the child's runtime does, so that the second byte of a two-byte character
// is never taken for a backslash.
template <typename Put>
void quoteArgument(const char* argument, Put put)
{
    const auto putBackslashes = [&](std::size_t count) {
        for (; count > 0; --count) put('\\');
    };
    const bool wrap = *argument == '\0' || hasSpaces(argument);
    if (wrap) put('"');
    std::size_t backslashes = 0;
    for (const char* at = argument; *at != '\0'; ++at) {
        if (*at == '\\') {
            ++backslashes;
            continue;
        }
        if (*at == '"') {
            putBackslashes(2 * backslashes + 1);
            put('"');
        } else {
            putBackslashes(backslashes);
            put(*at);
            if (isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') put(*++at);
        }
        backslashes = 0;
    }
    putBackslashes(wrap ? 2 * backslashes : backslashes);
    if (wrap) put('"');
    put(' ');
}

// The length of the command line for these arguments, without its terminating NUL.
std::size_t composedLength(int count, char* const* arguments)
{
    std::size_t length = 0;
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], [&](char) { ++length; });
    return length;
}

// Joins the program and its arguments into one command line, each followed by a space.
// The caller owns the result (delete[]); null when there is no memory for it.
char* composeCommandLine(int count, char* const* arguments)
{
    char* const line = new (std::nothrow) char[composedLength(count, arguments) + 1];
    if (line == nullptr) return nullptr;
    char* end = line;
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], [&](char c) { *end++ = c; });
    *end = '\0';
    return line;
}

std::int32_t execute_command(char* commandLine)
{
    std::printf(texts.running, commandLine);
    std::fflush(stdout);  // the running line comes before anything the child writes

    const ChildEnd end = runChild(commandLine);
    if (end.start == Start::ran) return end.exitCode;
    std::fprintf(stderr, texts.cannotStart, end.reason);
    return end.start == Start::notFound ? notFound : cannotRun;
}

int main(int argc, char* argv[])
{
    claimConsole(texts.banner);
    if (argc <= 1) {
        std::puts(texts.banner);
        std::puts(texts.usage);
        releaseConsole();
        return noProgramNamed;
    }

    char* const commandLine = composeCommandLine(argc - 1, argv + 1);
    if (commandLine == nullptr) {
        std::fputs(texts.noMemory, stderr);
        releaseConsole();
        return launcherFailed;
    }

    const auto started = std::chrono::steady_clock::now();
    const std::int32_t exitCode = execute_command(commandLine);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

    std::printf(texts.report, exitCode, static_cast<std::uint32_t>(exitCode), elapsed.count());
    std::puts(texts.prompt);
    std::fflush(stdout);  // the prompt must be on screen while we wait
    waitForKey();

    releaseConsole();
    delete[] commandLine;
    return exitCode;
}
