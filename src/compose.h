#pragma once

// The command line a child is started with, composed from its arguments so that the child's C
// runtime reads back exactly those arguments. The same code serves the bytes of POSIX
// arguments and the UTF-16 units of Windows ones: in neither is a backslash, a quote or a
// blank ever part of another character (UTF-8 continuation bytes are 0x80 and above, and a
// UTF-16 unit is a character or half of one above the basic plane).

#include <cstddef>
#include <cstdlib>
#include <cstring>

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

// Joins the program and its arguments into one command line, each followed by a space.
// The caller owns the result (std::free); null when there is no memory for it.
template <typename Char>
Char* composeCommandLine(int count, Char* const* arguments)
{
    auto* const line = static_cast<Char*>(std::malloc((composedLength(count, arguments) + 1) * sizeof(Char)));
    if (line == nullptr) return nullptr;
    Written<Char> out{line};
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], out);
    *out.end = 0;
    return line;
}
