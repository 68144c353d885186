// The launcher's own lines, written at once and whole, whatever the child did to the
// streams it shares with the launcher; and what it reads of its environment, which comes
// as it is, in bytes.

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../compose.h"
#include "../platform.h"
#include "../texts.h"
#include "internal.h"

namespace posix {

bool writeAll(int file, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(file, text, size);
        if (written < 0 && errno == EINTR) continue;
        // A child may leave a stream it shares with us non-blocking (libuv and Node
        // programs do), and full: wait until it takes more, as a blocking write would.
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{file, POLLOUT, 0};
            if (poll(&writable, 1, -1) < 0 && errno != EINTR) return false;
            continue;
        }
        if (written <= 0) return false;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace posix

namespace {

int fileOf(Stream stream) { return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO; }

int writingFailed = 0;  // why the last of the launcher's lines could not be written

}  // namespace

bool say(Stream stream, const char* format, ...)
{
    // Most lines fit here; a longer one (a long name in it) gets room of its own.
    char line[2048];
    char* text = line;
    va_list figures;
    va_start(figures, format);
    va_list again;
    va_copy(again, figures);
    const int length = std::vsnprintf(line, sizeof line, format, figures);
    va_end(figures);
    if (length >= static_cast<int>(sizeof line)) {
        text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
        if (text != nullptr) std::vsnprintf(text, static_cast<std::size_t>(length) + 1, format, again);
        else text = line;  // what fits, rather than nothing
    }
    va_end(again);
    const bool written = length >= 0 && posix::writeAll(fileOf(stream), text, std::strlen(text));
    if (!written) writingFailed = errno;
    if (text != line) std::free(text);
    return written;
}

const char* whyWritingFailed() { return systemWords(writingFailed); }

// One file description or not, the same file, pipe or terminal is one inode.
bool errorSharesOutput()
{
    struct stat out {}, err {};
    return fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 && out.st_dev == err.st_dev &&
           out.st_ino == err.st_ino;
}

void formatted(char* text, std::size_t size, const char* format, ...)
{
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, size, format, figures);
    va_end(figures);
}

const char* systemWords(int error)
{
    const char* const name = strerrorname_np(error);
    for (const ErrorWords& known : texts.errorWords) {
        if (name != nullptr && std::strcmp(known.name, name) == 0) return known.words;
    }
    return std::strerror(error);
}

const char* signalName(int signal)
{
    static char name[32];
    const char* const abbreviation = sigabbrev_np(signal);
    if (abbreviation == nullptr) return nullptr;
    std::snprintf(name, sizeof name, "SIG%s", abbreviation);
    return name;
}

void sayCommandLine(Stream stream, const Command& command)
{
    const int file = fileOf(stream);
    const auto write = [file](const char* text, std::size_t size) { posix::writeAll(file, text, size); };
    Streamed<char, decltype(write)> out{write};
    for (int i = 0; i < command.count; ++i) quoteArgument(command.arguments[i], out);
    out.drain();
}

bool sayBytes(Stream stream, const char* bytes, std::size_t size)
{
    const bool written = posix::writeAll(fileOf(stream), bytes, size);
    if (!written) writingFailed = errno;
    return written;
}

const char* setting(const char* name) { return std::getenv(name); }

UsersLanguages usersLanguages()
{
    const auto set = [](const char* value) { return value != nullptr && *value != '\0' ? value : nullptr; };
    UsersLanguages languages{set(std::getenv("LANGUAGE")), nullptr};
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        languages.locale = set(std::getenv(name));
        if (languages.locale != nullptr) break;
    }
    return languages;
}

Utf8::Utf8(const char* text) : text_(text) {}
Utf8::~Utf8() = default;
