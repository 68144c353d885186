// Prints the state of the console it runs in, as a program finds it: its input and output
// code pages, the attributes of the text it writes, and its input and output modes. With
// `spoil`, it then leaves the console as a careless program does: black on black, at code
// page 65001, with no echo and no line input. Written with WriteFile, so that the bytes are
// the console's to read by its code page.
#include <cstdio>
#include <cstring>

#include <windows.h>

int main(int argc, char* argv[])
{
    const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    const HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    DWORD inMode = 0, outMode = 0;
    GetConsoleScreenBufferInfo(out, &screen);
    GetConsoleMode(in, &inMode);
    GetConsoleMode(out, &outMode);
    char line[128];
    const int size = std::snprintf(line, sizeof line, "console: cp %u/%u attributes %#x modes %#lx/%#lx\n",
                                   GetConsoleCP(), GetConsoleOutputCP(), screen.wAttributes, inMode, outMode);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(size), &written, nullptr);
    if (argc > 1 && std::strcmp(argv[1], "spoil") == 0) {
        SetConsoleTextAttribute(out, 0);
        SetConsoleCP(CP_UTF8);
        SetConsoleOutputCP(CP_UTF8);
        SetConsoleMode(in, ENABLE_PROCESSED_INPUT);
        SetConsoleMode(out, ENABLE_PROCESSED_OUTPUT);
    }
    return 0;
}
