// Prints every argument it was given as a program that reads them in UTF-16 receives them,
// its own name first: the bytes of its UTF-16 units (little-endian) as hex, on a line of
// its own, so that the tests can compare them unit for unit.
#include <cstdio>

int _CRT_glob = 0;  // a star must reach us as a star

int wmain(int argc, wchar_t* argv[])
{
    for (int i = 0; i < argc; ++i) {
        std::fputs("arg:", stdout);
        for (const wchar_t* at = argv[i]; *at != 0; ++at) std::printf("%02x%02x", *at & 0xff, *at >> 8);
        std::fputc('\n', stdout);
    }
    return 0;
}
