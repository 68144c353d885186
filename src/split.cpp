#include "split.h"

#include <cstddef>

#include "platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> splitCommandLine(const char* line)
{
    std::vector<std::string> arguments;
    const char* at = line;
    for (;;) {
        while (isBlank(*at)) ++at;
        if (*at == '\0') return arguments;

        std::string& argument = arguments.emplace_back();
        bool quoted = false;
        while (*at != '\0' && (quoted || !isBlank(*at))) {
            std::size_t backslashes = 0;
            while (*at == '\\') ++backslashes, ++at;
            if (*at == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) argument += '"';
                else quoted = !quoted;
                ++at;
                continue;
            }
            argument.append(backslashes, '\\');
            if (*at == '\0' || (!quoted && isBlank(*at))) break;
            if (isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') argument += *at++;
            argument += *at++;
        }
    }
}
