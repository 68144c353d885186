// For any argument vector, the command line the launcher composes must read back, by the
// rules of the child's C runtime, as exactly that vector: the POSIX launcher starts its child
// with the vector itself on the strength of it. The line must be as long as it is measured,
// and within the bound told from the arguments' lengths alone (what it is written into),
// which is never more than twice the line. Both for the bytes of POSIX arguments and for
// the UTF-16 units of Windows ones, lone surrogates included.
//
// Input: the first byte picks the width (odd: UTF-16, each two bytes after it one unit; even:
// bytes); the arguments follow, separated by a zero unit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "compose.h"
#include "split.h"

namespace {

template <typename Char>
void roundTrip(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::basic_string<Char>> arguments(1);
    for (std::size_t at = 0; at + sizeof(Char) <= size; at += sizeof(Char)) {
        Char unit = 0;
        for (std::size_t byte = 0; byte < sizeof(Char); ++byte) unit = Char(unit | data[at + byte] << (8 * byte));
        if (unit == 0) arguments.emplace_back();
        else arguments.back() += unit;
    }

    std::vector<Char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    const int count = static_cast<int>(argv.size());
    Char* line = composeCommandLine(count, argv.data());
    const std::size_t length = composedLength(count, argv.data());
    if (std::char_traits<Char>::length(line) != length) __builtin_trap();
    const std::uint64_t most = composedLengthAtMost(count, argv.data());
    if (most < length || most > 2 * length) __builtin_trap();
    const std::vector<Char*> split = splitCommandLine(line);
    if (std::vector<std::basic_string<Char>>(split.begin(), split.end()) != arguments) __builtin_trap();
    std::free(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    if (data[0] % 2 == 1) roundTrip<char16_t>(data + 1, size - 1);
    else roundTrip<char>(data + 1, size - 1);
    return 0;
}
