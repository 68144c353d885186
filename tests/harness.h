#pragma once

#include <string>
#include <vector>

// Runs the real launcher binary and captures what a user or an IDE would see.

struct Outcome {
    std::string out;
    std::string err;
    int status;  // the exit status, or 128 + the signal the launcher died of
};

// The launcher with these arguments, without a terminal, its input from /dev/null.
Outcome runLauncher(const std::vector<std::string>& arguments);

// The path of a helper program built beside the tests.
std::string helper(const std::string& name);

// What the launcher prints, in the bytes of the system it runs on, from UTF-8 text.
std::string shown(const std::string& utf8);

// The output with the run time in the report line replaced by "<t>", after checking that
// it is a figure with three decimals.
std::string withoutTime(const std::string& out);

// The arguments a child received, from the lines print_args wrote.
std::vector<std::string> receivedArguments(const std::string& out);
