// A program to try the launcher on: it prints what it was given and ends with exit code 3.
#include <cstdio>

int _CRT_glob = 0;

int main(int argc, char* argv[])
{
    std::puts("Hello from the demo program.");
    for (int i = 1; i < argc; ++i) std::printf("argument %d: [%s]\n", i, argv[i]);
    std::puts("Ending with exit code 3.");
    return 3;
}
