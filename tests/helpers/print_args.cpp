// Prints every argument it was given, its own name first, as hex on a line of its own, so
// that the tests can compare any byte.
#include <cstdio>

int _CRT_glob = 0;  // a star must reach us as a star

int main(int argc, char* argv[])
{
    for (int i = 0; i < argc; ++i) {
        std::fputs("arg:", stdout);
        for (const char* at = argv[i]; *at != '\0'; ++at) {
            std::printf("%02x", static_cast<unsigned char>(*at));
        }
        std::fputc('\n', stdout);
    }
    return 0;
}
