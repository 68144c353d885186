// The files the launcher reads itself: a program's answers, and the folder of its cases.

#include <cstdlib>
#include <cwchar>

#include <windows.h>

#include "../platform.h"

int openFile(const wchar_t* path, File& file)
{
    const HANDLE opened = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    file = opened;
    return opened == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError()) : 0;
}

std::size_t readFile(File file, char* text, std::size_t size)
{
    DWORD got = 0;
    const DWORD most = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    return ReadFile(file, text, most, &got, nullptr) ? got : 0;
}

void closeFile(File file) { CloseHandle(file); }

int listFolder(const wchar_t* folder, void (*each)(const wchar_t* name, void* context), void* context)
{
    const std::size_t length = std::wcslen(folder);
    auto* const pattern = static_cast<wchar_t*>(std::malloc((length + 3) * sizeof(wchar_t)));
    if (pattern == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    std::wcscpy(pattern, folder);
    std::wcscat(pattern, L"\\*");
    WIN32_FIND_DATAW found{};
    const HANDLE names = FindFirstFileW(pattern, &found);
    std::free(pattern);
    if (names == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    do {
        each(found.cFileName, context);
    } while (FindNextFileW(names, &found));
    FindClose(names);
    return 0;
}
