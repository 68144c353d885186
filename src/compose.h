#pragma once

// The command line a child is started with, composed from its arguments so that the child's C
// runtime reads back exactly those arguments. The same code serves the bytes of POSIX
// arguments and the UTF-16 units of Windows ones: in neither is a backslash, a quote or a
// blank ever part of another character (UTF-8 continuation bytes are 0x80 and above, and a
// UTF-16 unit is a character or half of one above the basic plane).

#include <cstddef>
#include <cstdlib>

template <typename Char>
bool hasSpaces(const Char* text)
{
    if (text == nullptr) return false;
    for (; *text != 0; ++text) {
        if (*text == ' ' || *text == '\t') return true;
    }
    return false;
}

// Writes one argument: wrapped in quotes when it holds a blank or is empty, an inner quote
// escaped, and the backslashes that stand before a quote doubled; all else goes out as it is.
// A space follows it.
template <typename Char, typename Put>
void quoteArgument(const Char* argument, Put put)
{
    const auto putBackslashes = [&](std::size_t count) {
        for (; count > 0; --count) put(Char('\\'));
    };
    const bool wrap = *argument == 0 || hasSpaces(argument);
    if (wrap) put(Char('"'));
    std::size_t backslashes = 0;
    for (const Char* at = argument; *at != 0; ++at) {
        if (*at == '\\') {
            ++backslashes;
            continue;
        }
        putBackslashes(*at == '"' ? 2 * backslashes + 1 : backslashes);
        put(*at);
        backslashes = 0;
    }
    putBackslashes(wrap ? 2 * backslashes : backslashes);
    if (wrap) put(Char('"'));
    put(Char(' '));
}

// The length of the command line for these arguments, in characters, without its terminator.
template <typename Char>
std::size_t composedLength(int count, Char* const* arguments)
{
    std::size_t length = 0;
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], [&](Char) { ++length; });
    return length;
}

// Joins the program and its arguments into one command line, each followed by a space.
// The caller owns the result (std::free); null when there is no memory for it.
template <typename Char>
Char* composeCommandLine(int count, Char* const* arguments)
{
    auto* const line = static_cast<Char*>(std::malloc((composedLength(count, arguments) + 1) * sizeof(Char)));
    if (line == nullptr) return nullptr;
    Char* end = line;
    for (int i = 0; i < count; ++i) quoteArgument(arguments[i], [&](Char c) { *end++ = c; });
    *end = 0;
    return line;
}
