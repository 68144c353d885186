#pragma once

#include <cstdint>

// What the launcher asks of the system it runs on. Each system answers in a file of its
// own: posix.cpp and windows.cpp.

// Takes the console for this run: gives it the title, and makes sure that the launcher's
// own writes cannot kill it when its output has gone away.
void claimConsole(const char* title);

// Leaves the console as it was found.
void releaseConsole();

// True when the byte opens a two-byte character of the system's code page: the byte after
// it belongs to the same character and is never a backslash, quote or blank of its own.
bool isLeadByte(unsigned char byte);

enum class Start { ran, notFound, notRunnable };

struct ChildEnd {
    Start start;
    std::int32_t exitCode;  // what the child ended with, when it ran
    char reason[256];       // why it did not run, in the system's words
};

// Starts the command line as a child in this console, with the launcher's environment,
// directory and streams, and waits for it to end, however long that takes. The command
// line may be written over on the way, as Windows may do to it.
ChildEnd runChild(char* commandLine);

// Holds the window open until a key is pressed; returns at once when there is no
// terminal to hold open, or when the launcher has been asked to end.
void waitForKey();
