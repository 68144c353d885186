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
#include <unistd.h>

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

const char* reasonWords(int error)
{
    const char* const name = strerrorname_np(error);
    for (const ErrorWords& known : texts.errorWords) {
        if (name != nullptr && std::strcmp(known.name, name) == 0) return known.words;
    }
    return std::strerror(error);
}

}  // namespace posix

namespace {

int fileOf(Stream stream) { return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO; }

int writingFailed = 0;  // why the last of the launcher's lines could not be written

}  // namespace

bool say(Stream stream, const char* format, ...)
{
    char text[2048];  // every line of the launcher's own is shorter
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, sizeof text, format, figures);
    va_end(figures);
    const bool written = posix::writeAll(fileOf(stream), text, std::strlen(text));
    if (!written) writingFailed = errno;
    return written;
}

const char* whyWritingFailed() { return posix::reasonWords(writingFailed); }

void sayCommandLine(Stream stream, const char* commandLine)
{
    posix::writeAll(fileOf(stream), commandLine, std::strlen(commandLine));
}

const char* setting(const char* name) { return std::getenv(name); }

const char* messagesLocale()
{
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* const value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return nullptr;
}

Utf8::Utf8(const char* text) : text_(text), converted_{} {}
