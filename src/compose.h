#pragma once

// The command line a child is started with, composed from its arguments so that the child's C
// runtime reads back exactly those arguments. The same code serves the bytes of POSIX
// arguments and the UTF-16 units of Windows ones: in neither is a backslash, a quote or a
// blank ever part of another character (UTF-8 continuation bytes are 0x80 and above, and a
// UTF-16 unit is a character or half of one above the basic plane).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

template <typename Char>
bool hasSpaces(const Char* text)
{
    if (text == nullptr) return false;
    for (; *text != 0; ++text) {
        if (*text == ' ' || *text == '\t') return true;
    }
    return false;
}

// How many characters the text starts with that go into the line as they are: up to the
// first blank, quote or backslash, or the whole text. Most arguments are nothing else, and
// are copied whole.
template <typename Char>
std::size_t plainLength(const Char* text)
{
    const Char* at = text;
    while (*at != 0 && *at != ' ' && *at != '\t' && *at != '"' && *at != '\\') ++at;
    return static_cast<std::size_t>(at - text);
}

// Bytes are the common case and the long one: the C library looks at many at a time.
inline std::size_t plainLength(const char* text) { return std::strcspn(text, " \t\"\\"); }

// Where an argument goes: counted, to size the line, or written into it.
template <typename Char>
struct Counted {
    std::size_t length = 0;
    void put(Char) { ++length; }
    void put(const Char*, std::size_t count) { length += count; }
};

template <typename Char>
struct Written {
    Char* end;
    void put(Char c) { *end++ = c; }
    void put(const Char* block, std::size_t count)
    {
        std::memcpy(end, block, count * sizeof(Char));
        end += count;
    }
};

// Written out in pieces as it is composed, through a buffer of its own, to `flush`: a line
// as long as its arguments takes no memory of that size.
template <typename Char, typename Flush>
struct Streamed {
    explicit Streamed(Flush flushing) : flush(flushing) {}

    Flush flush;  // takes (const Char*, std::size_t)
    Char buffer[65536 / sizeof(Char)];
    std::size_t used = 0;

    void put(Char c)
    {
        if (used == sizeof buffer / sizeof *buffer) drain();
        buffer[used++] = c;
    }
    void put(const Char* block, std::size_t count)
    {
        if (count > sizeof buffer / sizeof *buffer - used) {
            drain();
            if (count >= sizeof buffer / sizeof *buffer) {
                flush(block, count);
                return;
            }
        }
        std::memcpy(buffer + used, block, count * sizeof(Char));
        used += count;
    }
    void drain()
    {
        if (used > 0) flush(static_cast<const Char*>(buffer), used);
        used = 0;
    }
};

// Writes one argument: wrapped in quotes when it holds a blank or is empty, an inner quote
// escaped, and the backslashes that stand before a quote doubled; all else goes out as it is.
// A space follows it.
template <typename Char, typename Out>
void quoteArgument(const Char* argument, Out& out)
{
    const auto putBackslashes = [&](std::size_t count) {
        for (; count > 0; --count) out.put(Char('\\'));
    };
    const std::size_t plain = plainLength(argument);
    const Char* const rest = argument + plain;
    const bool wrap = *argument == 0 || hasSpaces(rest);
    if (wrap) out.put(Char('"'));
    out.put(argument, plain);
    std::size_t backslashes = 0;
    for (const Char* at = rest; *at != 0; ++at) {
        if (*at == '\\') {
            ++backslashes;
            continue;
        }
        putBackslashes(*at == '"' ? 2 * backslashes + 1 : backslashes);
        out.put(*at);
        backslashes = 0;
    }
    putBackslashes(wrap ? 2 * backslashes : backslashes);
    if (wrap) out.put(Char('"'));
    out.put(Char(' '));
}

// The length of the command line for these arguments, in characters, without its terminator.
template <typename Char>
std::size_t composedLength(int count, Char* const* arguments)
{
    Counted<Char> line;
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], line);
    return line.length;
}

// A bound on that length from the arguments' lengths alone, which the C library finds many
// characters at a time: enough to make room for the line without measuring it.
//
// At most, every character but a blank is doubled (a quote escaped, a backslash before one),
// and an argument is wrapped only for a blank it holds or when it is empty: twice its length
// and two, or three. Never more than twice what the line takes, then. Counted in 64 bits,
// which no sum of arguments in memory can pass on any system.
template <typename Char>
std::uint64_t composedLengthAtMost(int count, Char* const* arguments)
{
    std::uint64_t length = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t own = std::char_traits<Char>::length(arguments[i]);
        length += own == 0 ? 3 : 2 * own + 2;
    }
    return length;
}

// Joins the program and its arguments into one command line, each followed by a space.
// The caller owns the result (std::free); null when there is no memory for it.
template <typename Char>
Char* composeCommandLine(int count, Char* const* arguments)
{
    // Written in one pass into the most it can take, then given back what it did not; only
    // where that much memory cannot be had is the line measured first, to ask for no more
    // than it needs.
    const std::uint64_t most = composedLengthAtMost(count, arguments) + 1;
    Char* line = nullptr;
    if (most <= SIZE_MAX / sizeof(Char)) line = static_cast<Char*>(std::malloc(static_cast<std::size_t>(most) * sizeof(Char)));
    if (line == nullptr) line = static_cast<Char*>(std::malloc((composedLength(count, arguments) + 1) * sizeof(Char)));
    if (line == nullptr) return nullptr;
    Written<Char> out{line};
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], out);
    *out.end = 0;
    const auto size = static_cast<std::size_t>(out.end - line + 1) * sizeof(Char);
    if (auto* const shrunk = static_cast<Char*>(std::realloc(line, size))) line = shrunk;
    return line;
}
