// Finding the program on Windows, where cmd would find it, and the command line it is
// given: composed by the C runtime's rules, or by cmd's for a batch file, which cmd reads.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <windows.h>

#include "../compose.h"
#include "../platform.h"
#include "../texts.h"
#include "internal.h"

using windows::longestPath;

namespace {

// The name's last part, after its folder.
const wchar_t* fileName(const wchar_t* name)
{
    for (const wchar_t* at = name; *at != 0; ++at) {
        if (*at == '\\' || *at == '/' || *at == ':') name = at + 1;
    }
    return name;
}

bool isFile(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Tries the name in one folder (none: where the name itself says): as given when it has
// an extension, else with each extension of the list in turn. The file found is left in
// `found`, which holds longestPath units.
bool findIn(const wchar_t* folder, std::size_t folderLength, const wchar_t* name, const wchar_t* extensions,
            wchar_t* found)
{
    std::size_t length = 0;
    const auto add = [&](const wchar_t* text, std::size_t count) {
        if (length + count >= longestPath) return false;
        std::wmemcpy(found + length, text, count);
        length += count;
        found[length] = 0;
        return true;
    };
    if (!add(folder, folderLength)) return false;
    if (folderLength > 0 && folder[folderLength - 1] != '\\' && folder[folderLength - 1] != '/' && !add(L"\\", 1)) {
        return false;
    }
    if (!add(name, std::wcslen(name))) return false;
    if (std::wcschr(fileName(name), '.') != nullptr) return isFile(found);
    const std::size_t stem = length;
    for (const wchar_t* extension = extensions; *extension != 0;) {
        const std::size_t size = std::wcscspn(extension, L";");
        length = stem;
        if (size > 0 && add(extension, size) && isFile(found)) return true;
        extension += size;
        if (*extension == ';') ++extension;
    }
    return false;
}

// The file that cmd would run for the name: with a folder in it, in that folder; else in the
// current folder, then in each folder of PATH. Never the launcher's own folder, where
// CreateProcess would look first: that is the IDE's, not the user's.
bool findProgram(const wchar_t* name, wchar_t* found)
{
    if (*name == 0) return false;
    const wchar_t* const listed = _wgetenv(L"PATHEXT");
    const wchar_t* const extensions = listed != nullptr ? listed : L".COM;.EXE;.BAT;.CMD";
    bool known = false;
    if (*fileName(name) != 0 && fileName(name) != name) {
        known = findIn(L"", 0, name, extensions, found);
    } else if (!(known = findIn(L".", 1, name, extensions, found))) {
        const wchar_t* const path = _wgetenv(L"PATH");
        for (const wchar_t* folder = path; folder != nullptr && *folder != 0 && !known;) {
            std::size_t size = std::wcscspn(folder, L";");
            // A folder may stand in quotes, as it must when it holds a ';'.
            const bool quoted = size >= 2 && folder[0] == '"' && folder[size - 1] == '"';
            if (size > 0) known = findIn(folder + (quoted ? 1 : 0), size - (quoted ? 2 : 0), name, extensions, found);
            folder += size;
            if (*folder == ';') ++folder;
        }
    }
    return known;
}

bool isBatchFile(const wchar_t* file)
{
    const wchar_t* const extension = std::wcsrchr(fileName(file), '.');
    return extension != nullptr && (_wcsicmp(extension, L".bat") == 0 || _wcsicmp(extension, L".cmd") == 0);
}

// Batch files ---------------------------------------------------------------------------

// cmd splits a batch file's arguments at blanks and at these, and acts on the rest of them
// outside quotes; inside quotes it takes them all literally.
bool cmdNeedsQuotes(const wchar_t* argument) { return *argument == 0 || std::wcspbrk(argument, L" \t&|<>^(),;=") != nullptr; }

// The line cmd reads a batch file's arguments from: the file found, then each argument,
// in quotes where cmd would act on them, each followed by a space. A backslash means
// nothing to cmd: none is doubled.
wchar_t* composeForCmd(const wchar_t* program, int count, wchar_t* const* arguments)
{
    std::size_t length = std::wcslen(program) + 3;
    for (int i = 1; i < count; ++i) length += std::wcslen(arguments[i]) + 3;
    auto* const line = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (line == nullptr) return nullptr;
    wchar_t* end = line;
    for (int i = 0; i < count; ++i) {
        const wchar_t* const argument = i == 0 ? program : arguments[i];
        const bool quoted = cmdNeedsQuotes(argument);
        if (quoted) *end++ = '"';
        const std::size_t size = std::wcslen(argument);
        std::wmemcpy(end, argument, size);
        end += size;
        if (quoted) *end++ = '"';
        *end++ = ' ';
    }
    *end = 0;
    return line;
}

// Why a command was refused, a line of the launcher's own.
char refusal[1024];

// What cmd cannot be given literally even in quotes: a quote ends them, a percent sign
// expands a variable, and a line break ends the command. Whether an argument holds one (0
// is the program itself), and then a line that says which and why.
bool refusedForCmd(const Command& command, char* line, std::size_t size)
{
    for (int i = 0; i < command.count; ++i) {
        const wchar_t* const argument = i == 0 ? command.program : command.arguments[i];
        const wchar_t* const unsafe = std::wcspbrk(argument, L"\"%\r\n");
        if (unsafe == nullptr) continue;
        char quoted[] = {'"', static_cast<char>(*unsafe), '"', 0};
        const char* const what = *unsafe == '\r' ? texts.carriageReturn : *unsafe == '\n' ? texts.lineFeed : quoted;
        _snprintf(line, size - 1, texts.refusedForBatch, i, what);
        return true;
    }
    return false;
}

// cmd, to run the batch file's line: without AutoRun commands (/d), a '!' taken literally
// (/v:off), the line in one more pair of quotes, which cmd takes off before it reads it.
wchar_t* cmdRunning(const wchar_t* line, wchar_t* shell)
{
    const UINT folder = GetSystemDirectoryW(shell, MAX_PATH);
    if (folder == 0 || folder + 9 > MAX_PATH) return nullptr;
    std::wcscpy(shell + folder, L"\\cmd.exe");
    const wchar_t prefix[] = L"cmd.exe /d /v:off /c \"";
    const std::size_t size = std::wcslen(prefix) + std::wcslen(line) + 2;
    auto* const whole = static_cast<wchar_t*>(std::malloc(size * sizeof(wchar_t)));
    if (whole == nullptr) return nullptr;
    std::wcscpy(whole, prefix);
    std::wcscat(whole, line);
    std::wcscat(whole, L"\"");
    return whole;
}

}  // namespace

// Readies the command to start; false, and why in `started`, when it cannot be.
bool windows::readyToStart(Command& command, Startable& startable, Started& started)
{
    if (command.program == nullptr) {
        started.start = Start::notFound;
        started.reason = ERROR_FILE_NOT_FOUND;
        return false;
    }
    started.start = Start::refused;
    started.refusal = refusal;
    if (command.batch && refusedForCmd(command, refusal, sizeof refusal)) return false;
    startable.owned = command.batch ? cmdRunning(command.line, startable.shell) : nullptr;
    if (command.batch && startable.owned == nullptr) {
        started.start = Start::notRunnable;
        started.reason = static_cast<int>(GetLastError());
        return false;
    }
    startable.line = command.batch ? startable.owned : command.line;
    startable.program = command.batch ? startable.shell : command.program;
    // The system would cut a longer line or refuse it, in words that blame a file name.
    const std::size_t length = std::wcslen(startable.line);
    if (length < longestCommandLine) return true;
    std::free(startable.owned);
    const Utf8 program(command.arguments[0]);
    char tooLong[256];
    _snprintf(tooLong, sizeof tooLong - 1, texts.tooLong, static_cast<unsigned>(length),
              static_cast<unsigned>(longestCommandLine - 1));
    tooLong[sizeof tooLong - 1] = 0;
    _snprintf(refusal, sizeof refusal - 1, texts.cannotStart, program.text(), tooLong);
    refusal[sizeof refusal - 1] = 0;
    // The line ends where the report's line begins.
    if (const std::size_t end = std::strlen(refusal); end > 0 && refusal[end - 1] == '\n') refusal[end - 1] = 0;
    return false;
}

// Windows speaks the language of its own setup, and the launcher its own: only
// PIMBREL_LANG chooses.
const wchar_t* messagesLocale() { return nullptr; }

const wchar_t* setting(const char* name)
{
    wchar_t wide[64];
    std::size_t size = 0;
    for (; name[size] != '\0' && size + 1 < sizeof wide / sizeof *wide; ++size) wide[size] = static_cast<wchar_t>(name[size]);
    wide[size] = 0;
    return _wgetenv(wide);
}

bool prepareCommand(int count, wchar_t* const* arguments, Command& command)
{
    command = Command{count, arguments, nullptr, nullptr, false};
    command.program = static_cast<wchar_t*>(std::malloc(longestPath * sizeof(wchar_t)));
    if (command.program == nullptr) return false;
    const bool found = findProgram(arguments[0], command.program);
    command.batch = found && isBatchFile(command.program);
    if (!found) {
        std::free(command.program);
        command.program = nullptr;
    }
    command.line = command.batch ? composeForCmd(command.program, count, arguments) : composeCommandLine(count, arguments);
    if (command.line == nullptr) releaseCommand(command);
    return command.line != nullptr;
}

void releaseCommand(Command& command)
{
    std::free(command.line);
    std::free(command.program);
    command.line = command.program = nullptr;
}
