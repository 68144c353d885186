// Finding the program on Windows, where cmd would find it, and the command line it is
// given: composed by the C runtime's rules, or by cmd's for a batch file, which cmd reads.

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>

#include "../compose.h"
#include "../platform.h"
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

// The next entry of a list such as PATHEXT (";"-separated), without the blanks around it:
// ".BAT " would name "show.BAT ", a file the system opens as show.bat. Its size is left in
// `size`, and `list` moves past it.
const wchar_t* nextEntry(const wchar_t*& list, std::size_t& size)
{
    const wchar_t* entry = list;
    size = std::wcscspn(list, L";");
    list += size;
    if (*list == ';') ++list;
    while (size > 0 && (*entry == ' ' || *entry == '\t')) ++entry, --size;
    while (size > 0 && (entry[size - 1] == ' ' || entry[size - 1] == '\t')) --size;
    return entry;
}

// Tries the name in one folder (none: where the name itself says), as cmd does: a name with
// a dot in it as given first, then any name with each extension of the list in turn, so that
// "dotname.v2" finds dotname.v2.exe. The file found is left in `found`, which holds
// longestPath units.
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
    if (std::wcschr(fileName(name), '.') != nullptr && isFile(found)) return true;
    const std::size_t stem = length;
    for (const wchar_t* list = extensions; *list != 0;) {
        std::size_t size = 0;
        const wchar_t* const extension = nextEntry(list, size);
        length = stem;
        if (size > 0 && add(extension, size) && isFile(found)) return true;
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

// The name the system opens for a file found: its full path, with backslashes, and the
// trailing dots and blanks of its name taken off as the system takes them off (show.bat.
// and "show.bat " open show.bat). Whether it is a batch file is decided on this name, never
// on the name as typed. False when it cannot be had.
bool nameOpened(wchar_t* path)
{
    auto* const full = static_cast<wchar_t*>(std::malloc(longestPath * sizeof(wchar_t)));
    const DWORD length = full == nullptr ? 0 : GetFullPathNameW(path, longestPath, full, nullptr);
    const bool known = length > 0 && length < longestPath;
    if (known) std::wmemcpy(path, full, length + 1);
    std::free(full);
    return known;
}

bool isBatchFile(const wchar_t* file)
{
    const wchar_t* const extension = std::wcsrchr(fileName(file), '.');
    return extension != nullptr && (_wcsicmp(extension, L".bat") == 0 || _wcsicmp(extension, L".cmd") == 0);
}

// Batch files ---------------------------------------------------------------------------

// What cmd takes as it is outside quotes: ASCII letters and digits, these marks, and any
// other character that is no control. Anything else may be a delimiter, an operator or an
// escape to cmd (vertical tab and form feed are delimiters to some of its versions), and is
// quoted: what is known safe, not what is known dangerous.
bool cmdTakesAsItIs(const wchar_t* argument)
{
    if (*argument == 0) return false;
    for (; *argument != 0; ++argument) {
        const wchar_t c = *argument;
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::wcschr(L"#$*+-./:?@\\_", c) != nullptr || c > 0x9F;
        if (!safe) return false;
    }
    return true;
}

// The line cmd reads a batch file's arguments from. First the file's full path, always in
// quotes, so that no part of it is read as a command of cmd's own (md\show.bat would run
// md). Then each argument after a blank, in quotes unless cmd takes it as it is: inside
// quotes cmd takes everything literally, and %1 gets it so. The backslashes that end a
// quoted argument are doubled, so that a program the batch file hands it on to
// ("%~dp0real.exe" %*) reads them as backslashes, not as the escape of the closing quote.
// No blank after the last argument: %* is exactly the arguments.
wchar_t* composeForCmd(const wchar_t* file, int count, wchar_t* const* arguments)
{
    std::size_t length = std::wcslen(file) + 2;
    for (int i = 1; i < count; ++i) length += 2 * std::wcslen(arguments[i]) + 3;
    auto* const line = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (line == nullptr) return nullptr;
    wchar_t* end = line;
    const auto put = [&end](const wchar_t* text, std::size_t size) {
        std::wmemcpy(end, text, size);
        end += size;
    };
    *end++ = '"';
    put(file, std::wcslen(file));
    *end++ = '"';
    for (int i = 1; i < count; ++i) {
        const wchar_t* const argument = arguments[i];
        const std::size_t size = std::wcslen(argument);
        const bool quoted = !cmdTakesAsItIs(argument);
        *end++ = ' ';
        if (quoted) *end++ = '"';
        put(argument, size);
        for (std::size_t at = size; quoted && at > 0 && argument[at - 1] == '\\'; --at) *end++ = '\\';
        if (quoted) *end++ = '"';
    }
    *end = 0;
    return line;
}

// What cmd cannot be given literally even in quotes: a quote ends them, a percent sign
// expands a variable, and a line break ends the command. Whether the batch file's path or an
// argument holds one.
bool refusedForCmd(const Command& command, Refusal& refusal)
{
    if (std::wcschr(command.program, '%') != nullptr) {
        refusal = {.kind = Refusal::batchPath, .holds = '%'};
        return true;
    }
    for (int i = 1; i < command.count; ++i) {
        const wchar_t* const unsafe = std::wcspbrk(command.arguments[i], L"\"%\r\n");
        if (unsafe == nullptr) continue;
        refusal = {.kind = Refusal::batchArgument, .argument = i, .holds = static_cast<char>(*unsafe)};
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
    if (command.batch && refusedForCmd(command, started.refusal)) return false;
    // cmd reads at most so many characters of the command it runs, the line after /c with
    // its quotes: a longer one it would cut, or refuse once it has started.
    const std::size_t forCmd = command.batch ? std::wcslen(command.line) + 2 : 0;
    if (forCmd > longestBatchLine) {
        started.refusal = {.kind = Refusal::batchLineTooLong, .length = static_cast<unsigned>(forCmd),
                           .most = static_cast<unsigned>(longestBatchLine)};
        return false;
    }
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
    started.refusal = {.kind = Refusal::lineTooLong, .length = static_cast<unsigned>(length),
                       .most = static_cast<unsigned>(longestCommandLine - 1)};
    return false;
}

// Windows speaks the language of its own setup, and the launcher its own: only
// PIMBREL_LANG chooses.
UsersLanguages usersLanguages() { return {nullptr, nullptr}; }

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
    if (found && !nameOpened(command.program)) {
        releaseCommand(command);
        return false;
    }
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
