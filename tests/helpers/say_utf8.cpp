// Prints a line of UTF-8 text as a beginner's program does on Windows: it first switches the
// console's output code page to UTF-8, and leaves it so.
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

int main()
{
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    std::fputs("utf8: \xe4\xbd\xa0\xe5\xa5\xbd\n", stdout);  // 你好
    return 0;
}
