// Ends the way it is told: `exit_with 255` returns 255, `exit_with signal 11` dies of
// signal 11; `null`, `divide`, `stack` and `abort` crash as a beginner's program does;
// `memory 64` touches 64 MiB first, `cpu 0.3` spends 0.3 s of its own CPU time first, each
// then returning 0.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

volatile int zero = 0, one = 1;
int* volatile nowhere = nullptr;

// A local array larger than any stack, as in a contest solution's `int a[10000000];`.
int overflow()
{
    volatile char big[64 << 20];
    big[0] = 1;
    return big[0] - 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    const char* const how = argc > 1 ? argv[1] : "0";
    const char* const much = argc > 2 ? argv[2] : "0";
    if (std::strcmp(how, "signal") == 0) {
        std::signal(std::atoi(much), SIG_DFL);
        std::raise(std::atoi(much));
    }
    if (std::strcmp(how, "null") == 0) *nowhere = 1;
    if (std::strcmp(how, "divide") == 0) return one / zero;
    if (std::strcmp(how, "stack") == 0) return overflow();
    if (std::strcmp(how, "abort") == 0) std::abort();
    if (std::strcmp(how, "memory") == 0) {
        const std::size_t size = std::strtoul(much, nullptr, 0) << 20;
        auto* const block = static_cast<char*>(std::malloc(size));
        std::memset(block, 1, size);
        return block[size - 1] - 1;
    }
    if (std::strcmp(how, "cpu") == 0) {
        // clock() counts the process's own CPU time on POSIX systems; there a busy machine
        // cannot make this spend less.
        const std::clock_t until = std::clock() + static_cast<std::clock_t>(std::atof(much) * CLOCKS_PER_SEC);
        while (std::clock() < until) {
        }
        return 0;
    }
    return static_cast<int>(std::strtoul(how, nullptr, 0));
}
