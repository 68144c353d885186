#pragma once

#include <vector>

// Splits a command line into arguments by the rules the Microsoft C runtime applies before
// main: blanks separate; a double quote opens or closes a quoted stretch; 2n backslashes
// before a quote give n backslashes and the quote delimits, 2n+1 give n and a literal
// quote; other backslashes are literal. Where the POSIX launcher stands in for Windows,
// this is how its child receives the line it composed.
//
// The arguments are written over the line itself, each never longer than the text it was
// read from, and returned as pointers into it: one allocation, however many there are.
std::vector<char*> splitCommandLine(char* line);
