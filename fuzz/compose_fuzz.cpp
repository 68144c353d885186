// For any argument vector, the command line the launcher composes must read back, by the
// rules of the child's C runtime, as exactly that vector; and it must fill the buffer that
// was sized for it to the byte.
//
// Input: the first byte picks the code page (odd: GBK, whose lead bytes 0x81-0xFE take the
// next byte with them; even: none), the rest are the arguments, separated by NUL bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform.h"
#include "split.h"

std::size_t composedLength(int count, char* const* arguments);
char* composeCommandLine(int count, char* const* arguments);

namespace {
bool gbk = false;
}

bool isLeadByte(unsigned char byte) { return gbk && byte >= 0x81 && byte <= 0xFE; }

// The launcher's console and child are not part of this.
void claimConsole(const char*) {}
void releaseConsole() {}
ChildEnd runChild(char*) { return {}; }
void waitForKey() {}

namespace {

// A two-byte character cut short by the end of an argument cannot be written on any
// command line: the child's runtime would take the separator after it as its second byte.
bool endsInALeadByte(const std::string& argument)
{
    bool lead = false;
    for (unsigned char byte : argument) lead = !lead && isLeadByte(byte);
    return lead;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    gbk = data[0] % 2 == 1;
    std::vector<std::string> arguments(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0) arguments.emplace_back();
        else arguments.back() += static_cast<char>(data[i]);
    }
    for (const std::string& argument : arguments) {
        if (endsInALeadByte(argument)) return 0;
    }

    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    const int count = static_cast<int>(argv.size());
    char* line = composeCommandLine(count, argv.data());
    if (std::strlen(line) != composedLength(count, argv.data())) __builtin_trap();
    const std::vector<char*> split = splitCommandLine(line);
    if (std::vector<std::string>(split.begin(), split.end()) != arguments) __builtin_trap();
    delete[] line;
    return 0;
}
