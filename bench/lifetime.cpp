// A child that sleeps for the milliseconds it is given and reports how long it lived, by
// the same monotonic clock the launcher reads, from its first instruction of main to its
// last. Its line "lifetime <seconds>" goes to standard error, apart from the launcher's.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

static double seconds(const timespec& t) { return t.tv_sec + t.tv_nsec / 1e9; }

int main(int argc, char* argv[])
{
    timespec start, wake, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const long ms = argc > 1 ? std::atol(argv[1]) : 0;
    wake.tv_sec = start.tv_sec + ms / 1000;
    wake.tv_nsec = start.tv_nsec + ms % 1000 * 1000000L;
    if (wake.tv_nsec >= 1000000000L) wake.tv_sec += 1, wake.tv_nsec -= 1000000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    std::fprintf(stderr, "lifetime %.6f\n", seconds(end) - seconds(start));
    return 0;
}
