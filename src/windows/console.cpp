// The console window on Windows: its title, the launcher's own lines and the key, and the
// console's state, put back as it was found. Text stays UTF-16 up to the console, so no
// character is lost to a code page; a file or pipe gets GBK, the bytes whatever reads the
// launcher's output has always read.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <conio.h>
#include <windows.h>

#include "../platform.h"
#include "internal.h"

namespace {

// The code page of what files and pipes receive: that of the launcher's users' consoles,
// and what every tool that has read its output so far expects.
constexpr UINT gbk = 936;

// The console's title before ours, to give back at the end: no title is longer than this
// (the system's buffer for it is under 64 KiB). Known only when it could be read.
wchar_t foundTitle[32768];
bool titleFound = false;

// What a program can leave behind in the console it shares with the launcher, as it was
// found: the colours of the text written next (black on black makes the report unreadable),
// the code pages that bytes are read and written in (chcp 65001), and how input is read and
// output written (no echo, no line breaks). Each is known only when it could be read.
struct ConsoleState {
    HANDLE input = INVALID_HANDLE_VALUE, output = INVALID_HANDLE_VALUE;  // the console's own, kept open
    UINT inputCodePage = 0, outputCodePage = 0;
    DWORD inputMode = 0, outputMode = 0;
    WORD attributes = 0;
    bool inputModeKnown = false, outputModeKnown = false, attributesKnown = false;
} found;

// The console's own input and output, whatever the standard streams are.
HANDLE openConsole(const wchar_t* name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

void saveConsole()
{
    found.input = openConsole(L"CONIN$");
    found.output = openConsole(L"CONOUT$");
    found.inputCodePage = GetConsoleCP();
    found.outputCodePage = GetConsoleOutputCP();
    found.inputModeKnown = GetConsoleMode(found.input, &found.inputMode) != 0;
    found.outputModeKnown = GetConsoleMode(found.output, &found.outputMode) != 0;
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    found.attributesKnown = GetConsoleScreenBufferInfo(found.output, &screen) != 0;
    found.attributes = screen.wAttributes;
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Why the last of the launcher's lines could not be written.
DWORD writingFailed = ERROR_SUCCESS;

bool writeUnits(HANDLE handle, bool console, const wchar_t* units, int count)
{
    DWORD written = 0;
    if (console) return WriteConsoleW(handle, units, static_cast<DWORD>(count), &written, nullptr) != 0;
    char bytes[2 * 1024];  // code page 936 spends at most two bytes on a UTF-16 unit
    const int size = WideCharToMultiByte(gbk, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, nullptr);
    for (int done = 0; done < size; done += static_cast<int>(written)) {
        if (!WriteFile(handle, bytes + done, static_cast<DWORD>(size - done), &written, nullptr) || written == 0) {
            return false;
        }
    }
    return true;
}

// Writes UTF-16 text where the stream goes: to a console as characters, whatever its code
// page and whatever the child did to it; to a file or pipe as GBK bytes, a character that
// GBK lacks as '?'. Either way a line feed goes out as CR LF, as the C runtime's text mode
// has always written it. The text goes in pieces, none of which splits a surrogate pair.
bool sayUnits(Stream stream, const wchar_t* text)
{
    const HANDLE handle = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    const bool console = isConsole(handle);
    wchar_t piece[1024];
    int size = 0;
    bool written = handle != nullptr && handle != INVALID_HANDLE_VALUE;
    if (!written) SetLastError(ERROR_INVALID_HANDLE);
    for (; *text != 0 && written; ++text) {
        if (*text == '\n') piece[size++] = '\r';
        piece[size++] = *text;
        if ((size >= 1020 && !IS_HIGH_SURROGATE(*text)) || size >= 1022) {
            written = writeUnits(handle, console, piece, size);
            size = 0;
        }
    }
    if (written && size > 0) written = writeUnits(handle, console, piece, size);
    if (!written) writingFailed = GetLastError();
    return written;
}

// The UTF-16 form of UTF-8 text, whole: most of the launcher's lines fit in the room of its
// own, a longer one gets room of its size.
class Wide {
public:
    explicit Wide(const char* utf8)
    {
        int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, line_, sizeof line_ / sizeof *line_);
        if (size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
            longer_ = static_cast<wchar_t*>(std::malloc(static_cast<std::size_t>(size) * sizeof(wchar_t)));
            if (longer_ != nullptr) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, longer_, size);
        }
        if (size == 0) *line_ = 0;
    }
    ~Wide() { std::free(longer_); }
    Wide(const Wide&) = delete;
    Wide& operator=(const Wide&) = delete;
    const wchar_t* text() const { return longer_ != nullptr ? longer_ : line_; }

private:
    wchar_t line_[2048];
    wchar_t* longer_ = nullptr;
};

// The system's message for an error, in the system's language, without the line break it
// ends with; false when the system has none.
bool systemMessage(DWORD error, wchar_t* message, std::size_t size)
{
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                       static_cast<DWORD>(size), nullptr) == 0) {
        return false;
    }
    // The system ends its messages with a line break; ours puts the line break itself.
    for (std::size_t end = std::wcslen(message); end > 0 && std::wcschr(L"\r\n ", message[end - 1]); --end) {
        message[end - 1] = 0;
    }
    return true;
}

}  // namespace

void claimConsole(const char* title, bool utf8Console)
{
    saveConsole();
    // A program that prints UTF-8 (a source saved as UTF-8, built by MinGW) shows it right;
    // the launcher's own lines are characters, and read right on any code page.
    if (utf8Console && found.outputCodePage != 0) {
        SetConsoleCP(CP_UTF8);
        SetConsoleOutputCP(CP_UTF8);
    }
    // An empty title reads as 0 units with no error; without a console, the call fails.
    SetLastError(ERROR_SUCCESS);
    titleFound = GetConsoleTitleW(foundTitle, sizeof foundTitle / sizeof *foundTitle) > 0 ||
                 GetLastError() == ERROR_SUCCESS;
    SetConsoleTitleW(Wide(title).text());
}

// Only what differs is set: on some versions of Windows setting a code page also changes
// the console's font.
void windows::restoreConsole()
{
    if (found.inputCodePage != 0 && GetConsoleCP() != found.inputCodePage) SetConsoleCP(found.inputCodePage);
    if (found.outputCodePage != 0 && GetConsoleOutputCP() != found.outputCodePage) {
        SetConsoleOutputCP(found.outputCodePage);
    }
    DWORD mode = 0;
    if (found.inputModeKnown && GetConsoleMode(found.input, &mode) && mode != found.inputMode) {
        SetConsoleMode(found.input, found.inputMode);
    }
    if (found.outputModeKnown && GetConsoleMode(found.output, &mode) && mode != found.outputMode) {
        SetConsoleMode(found.output, found.outputMode);
    }
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (found.attributesKnown && GetConsoleScreenBufferInfo(found.output, &screen) &&
        screen.wAttributes != found.attributes) {
        SetConsoleTextAttribute(found.output, found.attributes);
    }
}

// The console as it was found; a title that could not be read is left as it is, rather
// than replaced with nothing.
void releaseConsole()
{
    windows::restoreConsole();
    if (titleFound) SetConsoleTitleW(foundTitle);
    if (found.input != INVALID_HANDLE_VALUE) CloseHandle(found.input);
    if (found.output != INVALID_HANDLE_VALUE) CloseHandle(found.output);
    found.input = found.output = INVALID_HANDLE_VALUE;
}

bool say(Stream stream, const char* format, ...)
{
    // The system's own printf: the C runtime that every Windows has, not a copy in the exe.
    // Most lines fit here; a longer one (a long name in it) gets room of its own.
    char line[2048];
    char* text = line;
    va_list figures;
    va_start(figures, format);
    const int length = _vscprintf(format, figures);
    va_end(figures);
    if (length >= static_cast<int>(sizeof line)) text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
    if (length < 0 || text == nullptr) return false;
    va_start(figures, format);
    _vsnprintf(text, static_cast<std::size_t>(length) + 1, format, figures);
    va_end(figures);
    text[length] = 0;
    const bool written = sayUnits(stream, Wide(text).text());
    if (text != line) std::free(text);
    return written;
}

void formatted(char* text, std::size_t size, const char* format, ...)
{
    va_list figures;
    va_start(figures, format);
    _vsnprintf(text, size - 1, format, figures);
    va_end(figures);
    text[size - 1] = 0;
}

bool sayBytes(Stream stream, const char* bytes, std::size_t size)
{
    // As they are, whatever the stream is: a console reads them by its code page, as it
    // would have read them from the program.
    const HANDLE handle = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    for (DWORD written = 0; size > 0; bytes += written, size -= written) {
        const DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        if (!WriteFile(handle, bytes, piece, &written, nullptr) || written == 0) {
            writingFailed = GetLastError();
            return false;
        }
    }
    return true;
}

const char* systemWords(int error)
{
    // The system's words, in the system's language.
    static char words[1024];
    wchar_t message[512];
    if (systemMessage(static_cast<DWORD>(error), message, sizeof message / sizeof *message)) {
        WideCharToMultiByte(CP_UTF8, 0, message, -1, words, sizeof words, nullptr, nullptr);
    } else {
        _snprintf(words, sizeof words - 1, "error %lu", static_cast<unsigned long>(error));
    }
    return words;
}

const char* whyWritingFailed() { return systemWords(static_cast<int>(writingFailed)); }

// The same handle (an IDE that hands both streams one pipe) or both the console; else two
// handles of one object (cmd's 2>&1), which only Windows 10 and later can tell. Before it,
// two streams of one kind are taken for one, as the launcher has always written them.
bool errorSharesOutput()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    if (out == err) return true;
    if (isConsole(out) || isConsole(err)) return isConsole(out) && isConsole(err);
    using Compare = BOOL(WINAPI*)(HANDLE, HANDLE);
    const HMODULE system = GetModuleHandleW(L"kernelbase.dll");
    const FARPROC found = system != nullptr ? GetProcAddress(system, "CompareObjectHandles") : nullptr;
    if (found == nullptr) return GetFileType(out) == GetFileType(err);
    return reinterpret_cast<Compare>(reinterpret_cast<void (*)()>(found))(out, err) != 0;
}

// Windows ends programs with a status, never a signal.
const char* signalName(int) { return nullptr; }

void sayCommandLine(Stream stream, const Command& command) { sayUnits(stream, command.line); }

Utf8::Utf8(const wchar_t* text) : text_("")
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    converted_ = size > 0 ? static_cast<char*>(std::malloc(static_cast<std::size_t>(size))) : nullptr;
    if (converted_ == nullptr) return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted_, size, nullptr, nullptr);
    text_ = converted_;
}

Utf8::~Utf8() { std::free(converted_); }

void waitForKey()
{
    // Only a console shows the prompt. Output to a file or pipe is read by a program (a
    // build tool, an IDE's panel, CI), often with no window at all: nobody is there to press
    // a key, and _getch, which reads the console whatever the streams are, would wait for ever.
    if (!isConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return;
    // The console's own input, whatever standard input is (a file of sample input, a pipe):
    // what was typed while the program ran is dropped there, so only a key pressed after the
    // prompt counts.
    const HANDLE input = openConsole(L"CONIN$");
    DWORD mode = 0;
    const bool console = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
    if (console) {
        // Ctrl-C is a key like any other here.
        SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
        FlushConsoleInputBuffer(input);
    }
    _getch();
    if (console) SetConsoleMode(input, mode);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
}
