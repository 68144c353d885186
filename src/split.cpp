#include "split.h"

#include <cstddef>

#include "platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<char*> splitCommandLine(char* line)
{
    std::vector<char*> arguments;
    const char* at = line;  // reads ahead of, or level with, where the arguments go
    char* out = line;
    for (;;) {
        while (isBlank(*at)) ++at;
        if (*at == '\0') return arguments;

        arguments.push_back(out);
        bool quoted = false;
        while (*at != '\0' && (quoted || !isBlank(*at))) {
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
            if (*at == '\0' || (!quoted && isBlank(*at))) break;
            if (isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') *out++ = *at++;
            *out++ = *at++;
        }
        const bool last = *at == '\0';
        *out++ = '\0';
        if (last) return arguments;
        ++at;
    }
}
