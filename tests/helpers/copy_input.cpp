// Copies its standard input to its standard output byte for byte, as a solution that prints
// its sample back does; `copy_input 3` then ends with 3.
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char* argv[])
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    static char buffer[1 << 16];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) std::fwrite(buffer, 1, got, stdout);
    return argc > 1 ? std::atoi(argv[1]) : 0;
}
