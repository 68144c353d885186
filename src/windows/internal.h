#pragma once

// What the launcher's Windows files share: the console as it was found (console.cpp), and
// what finding the program (command.cpp) hands to starting it (process.cpp).

#include <cstddef>

#include <windows.h>

#include "../platform.h"

namespace windows {

// The longest command line CreateProcess accepts, in UTF-16 units with its terminator; the
// longest path it takes, the same.
constexpr std::size_t longestCommandLine = 32767;
constexpr std::size_t longestPath = 32767;
// The longest command cmd reads, in characters: a batch file's line, after /c.
constexpr std::size_t longestBatchLine = 8191;

// Puts the console back as the launcher found it when it claimed it: its text attributes,
// its input and output code pages and its modes, whatever the child left. Called as soon as
// the child has ended, so that the report reads as it should, and again at the end.
void restoreConsole();

// What CreateProcess is given for the command: the file and its line, or for a batch file
// cmd and the line that runs it.
struct Startable {
    const wchar_t* program;
    wchar_t* line;
    wchar_t* owned;  // a line made here, to free
    wchar_t shell[MAX_PATH];
};

// Readies the command to start; false, and why in `started`, when it cannot be.
bool readyToStart(Command& command, Startable& startable, Started& started);

}  // namespace windows
