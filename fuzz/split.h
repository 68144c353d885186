#pragma once

#include <cstddef>
#include <vector>

// Splits a command line into arguments by the rules the Microsoft C runtime applies before
// main: blanks separate; a double quote opens or closes a quoted stretch; 2n backslashes
// before a quote give n backslashes and the quote delimits, 2n+1 give n and a literal
// quote; other backslashes are literal. This is how a Windows child reads the line the
// launcher composed, and what the fuzzer holds the composition to: read back, the line must
// give exactly the arguments it was made from. (The POSIX launcher counts on that and starts
// its child with the arguments themselves.)
//
// The arguments are written over the line itself, each never longer than the text it was
// read from, and returned as pointers into it: one allocation, however many there are.
template <typename Char>
std::vector<Char*> splitCommandLine(Char* line)
{
    const auto isBlank = [](Char c) { return c == ' ' || c == '\t'; };
    std::vector<Char*> arguments;
    const Char* at = line;  // reads ahead of, or level with, where the arguments go
    Char* out = line;
    for (;;) {
        while (isBlank(*at)) ++at;
        if (*at == 0) return arguments;

        arguments.push_back(out);
        bool quoted = false;
        while (*at != 0 && (quoted || !isBlank(*at))) {
            std::size_t backslashes = 0;
            while (*at == '\\') ++backslashes, ++at;
            if (*at == '"') {
                for (std::size_t i = 0; i < backslashes / 2; ++i) *out++ = '\\';
                if (backslashes % 2 == 1) *out++ = '"';
                else quoted = !quoted;
                ++at;
                continue;
            }
            for (std::size_t i = 0; i < backslashes; ++i) *out++ = '\\';
            if (*at == 0 || (!quoted && isBlank(*at))) break;
            *out++ = *at++;
        }
        const bool last = *at == 0;
        *out++ = 0;
        if (last) return arguments;
        ++at;
    }
}
