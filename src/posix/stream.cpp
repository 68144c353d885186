// The launcher's own lines, written at once and whole, whatever the child did to the
// streams it shares with the launcher; and what it reads of its environment, which comes
// as it is, in bytes.

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

#include "../platform.h"
#include "internal.h"

namespace posix {

void writeAll(int file, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(file, text, size);
        if (written < 0 && errno == EINTR) continue;
        // A child may leave a stream it shares with us non-blocking (libuv and Node
        // programs do), and full: wait until it takes more, as a blocking write would.
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{file, POLLOUT, 0};
            if (poll(&writable, 1, -1) < 0 && errno != EINTR) return;
            continue;
        }
        if (written <= 0) return;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace posix

namespace {

int fileOf(Stream stream) { return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO; }

}  // namespace

void say(Stream stream, const char* format, ...)
{
    char text[2048];  // every line of the launcher's own is shorter
    va_list figures;
    va_start(figures, format);
    std::vsnprintf(text, sizeof text, format, figures);
    va_end(figures);
    posix::writeAll(fileOf(stream), text, std::strlen(text));
}

void sayCommandLine(Stream stream, const char* commandLine)
{
    posix::writeAll(fileOf(stream), commandLine, std::strlen(commandLine));
}

const char* setting(const char* name) { return std::getenv(name); }

Utf8::Utf8(const char* text) : text_(text), converted_{} {}
