// What a judged run is raced with: `lines N` writes N lines of a number each, as a solution
// with a big output does (about 8 bytes a line), through a buffer of its own; `lines` alone
// copies its input to its output, as a solution that prints its sample back does.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[])
{
    static char buffer[1 << 16];
    if (argc < 2) {
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) std::fwrite(buffer, 1, got, stdout);
        return 0;
    }
    const long count = std::atol(argv[1]);
    std::size_t used = 0;
    for (long i = 0; i < count; ++i) {
        if (used + 16 > sizeof buffer) {
            std::fwrite(buffer, 1, used, stdout);
            used = 0;
        }
        // The number, right to left, and its line feed.
        char digits[16];
        int length = 0;
        for (long n = 1000000 + i % 9000000; n > 0; n /= 10) digits[length++] = static_cast<char>('0' + n % 10);
        while (length > 0) buffer[used++] = digits[--length];
        buffer[used++] = '\n';
    }
    std::fwrite(buffer, 1, used, stdout);
    return 0;
}
