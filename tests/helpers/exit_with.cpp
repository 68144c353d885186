// Ends the way it is told: `exit_with 255` returns 255, `exit_with signal 11` dies of
// signal 11; `null`, `divide`, `stack` and `abort` crash as a beginner's program does;
// `memory 64` touches 64 MiB first, `cpu 0.3` spends 0.3 s of its own CPU time first,
// `global fill` fills a global array of 1 GiB (`global` alone leaves it untouched), each
// then returning 0; `hold 64` touches 64 MiB and keeps them for ever; `thread 64` touches
// them in a thread of its own after its first thread has ended (pthread_exit in main).
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace {

volatile int zero = 0, one = 1;
int* volatile nowhere = nullptr;

// As a contest solution's `int a[1 << 28];`: resident only where it is touched. Not on
// Windows, whose 32-bit programs would have to find 1 GiB of room for it at every start.
#ifndef _WIN32
char globalArray[1 << 30];
#endif

// A local array larger than any stack, as in a contest solution's `int a[10000000];`.
int overflow()
{
    volatile char big[64 << 20];
    big[0] = 1;
    return big[0] - 1;
}

char* touch(const char* mebibytes)
{
    const std::size_t size = std::strtoul(mebibytes, nullptr, 0) << 20;
    auto* const block = static_cast<char*>(std::malloc(size));
    std::memset(block, 1, size);
    return block + size - 1;
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
    if (std::strcmp(how, "memory") == 0) return *touch(much) - 1;
    if (std::strcmp(how, "hold") == 0) {
        touch(much);
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
#ifndef _WIN32
    if (std::strcmp(how, "thread") == 0) {
        pthread_t thread{};
        pthread_create(&thread, nullptr, [](void* mebibytes) -> void* { return touch(static_cast<const char*>(mebibytes)); },
                       const_cast<char*>(much));
        pthread_exit(nullptr);
    }
#endif
#ifndef _WIN32
    if (std::strcmp(how, "global") == 0) {
        const bool fill = std::strcmp(much, "fill") == 0;
        if (fill) std::memset(globalArray, 1, sizeof globalArray);
        return globalArray[sizeof globalArray - 1] - (fill ? 1 : 0);
    }
#endif
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
