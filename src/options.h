#pragma once

// What the launcher is asked before the program: its own words, limits for practice as a
// contest judge sets them, what to judge the program by, and a UTF-8 console for the
// program, from options in GNU form or, for an IDE whose command line cannot be changed,
// from the environment (options win).

#include <cstddef>
#include <initializer_list>

#include "compare.h"
#include "run.h"

// What a run is judged by, as a judge judges a contest's samples: the program's input from a
// file, its output against an answer; or each case of a folder (NAME.in, with NAME.out or
// NAME.ans); its numbers within an error, where one is given.
struct Judging {
    const ArgChar* input = nullptr;
    const ArgChar* answer = nullptr;
    const ArgChar* folder = nullptr;
    bool folderOfTheProgram = false;  // the folder holds one of cases for each program (PIMBREL_TESTS)
    double floatError = -1;           // below 0: the output compared by lines
};

struct Options {
    enum What { run, help, version, badValue, badSwitch, unknownOption, together } what = run;
    int program = 0;                 // where the program stands among the arguments
    Limits limits{};
    Judging judging{};
    bool utf8Console = false;        // the program runs on a console at code page 65001
    const char* name = nullptr;      // the option or variable whose value is bad, or which
                                     // cannot go with `other`
    const char* other = nullptr;
    const ArgChar* given = nullptr;  // that value, or the unknown option
};

// Whether an argument is this word, written in ASCII; or, with `rest`, starts with it, the
// rest of the argument then left there.
inline bool is(const ArgChar* argument, const char* word, const ArgChar** rest = nullptr)
{
    for (; *word != '\0'; ++argument, ++word) {
        if (*argument != static_cast<ArgChar>(*word)) return false;
    }
    if (rest != nullptr) *rest = argument;
    return rest != nullptr || *argument == 0;
}

// A positive decimal number (1, 0.5, 2.5), and no larger than any limit a machine could
// hold; 0 for anything else: empty, 0, -1, 1x, abc, nan, 1e3. Read digit by digit: the C
// library's strtod would bring mingw's own into the Windows exe, and double its size.
inline double positiveNumber(const ArgChar* text)
{
    constexpr double largest = 1e9;
    double value = 0, scale = 1;
    bool point = false;
    for (; *text != 0; ++text) {
        if (*text == '.' && !point) {
            point = true;
        } else if (*text >= '0' && *text <= '9') {
            const int digit = static_cast<int>(*text - '0');
            if (point) value += digit * (scale /= 10);
            else value = value * 10 + digit;
            if (value > largest) return 0;
        } else {
            return 0;
        }
    }
    return value;
}

// A number that is not negative, as a decimal or in exponent form (1e-6); below 0 for
// anything else.
inline double errorAllowed(const ArgChar* text)
{
    char ascii[64];
    std::size_t length = 0;
    for (; text[length] != 0; ++length) {
        if (length + 1 >= sizeof ascii || static_cast<unsigned long>(text[length]) > 127) return -1;
        ascii[length] = static_cast<char>(text[length]);
    }
    double value = -1;
    return readNumber(ascii, length, value) && value >= 0 ? value : -1;
}

// Every argument before the program that starts with '-' is an option, up to "--".
inline Options readOptions(int argc, ArgChar* const* argv)
{
    Options options;
    // The options that take a value, and the variables that stand for them.
    struct Valued {
        const char* option;
        const char* variable;
        enum Kind { limit, error, path } kind;
        const ArgChar* given;
    } valued[] = {
        {"--time-limit", "PIMBREL_TIME_LIMIT", Valued::limit, nullptr},
        {"--memory-limit", "PIMBREL_MEMORY_LIMIT", Valued::limit, nullptr},
        {"--input", nullptr, Valued::path, nullptr},
        {"--expect", nullptr, Valued::path, nullptr},
        {"--tests", nullptr, Valued::path, nullptr},
        {"--float-error", "PIMBREL_FLOAT_ERROR", Valued::error, nullptr},
    };
    Valued& timeLimit = valued[0];
    Valued& memoryLimit = valued[1];
    Valued& input = valued[2];
    Valued& expect = valued[3];
    Valued& tests = valued[4];
    Valued& floatError = valued[5];
    static const ArgChar none[] = {0};
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        const ArgChar* const option = argv[at];
        if (is(option, "--")) {
            ++at;
            break;
        }
        if (is(option, "--help")) return {Options::help};
        if (is(option, "--version")) return {Options::version};
        if (is(option, "--utf8-console")) {
            options.utf8Console = true;
            continue;
        }
        Valued* asked = nullptr;
        for (Valued& one : valued) {
            const ArgChar* rest = nullptr;
            if (!is(option, one.option, &rest) || (*rest != 0 && *rest != '=')) continue;
            asked = &one;
            // --time-limit=1, or --time-limit 1 as GNU tools take it too.
            one.given = *rest == '=' ? rest + 1 : at + 1 < argc ? argv[++at] : none;
        }
        if (asked == nullptr) {
            options.what = Options::unknownOption;
            options.given = option;
            return options;
        }
    }
    options.program = at;
    const auto bad = [&options](const char* name, const ArgChar* given) {
        options.what = Options::badValue;
        options.name = name;
        options.given = given;
        return options;
    };
    for (Valued* const limit : {&timeLimit, &memoryLimit, &floatError}) {
        const char* const name = limit->given != nullptr ? limit->option : limit->variable;
        if (limit->given == nullptr) limit->given = setting(limit->variable);
        if (limit->given == nullptr) continue;
        double& value = limit == &timeLimit     ? options.limits.seconds
                        : limit == &memoryLimit ? options.limits.megabytes
                                                : options.judging.floatError;
        value = limit->kind == Valued::limit ? positiveNumber(limit->given) : errorAllowed(limit->given);
        if (limit->kind == Valued::limit ? value <= 0 : value < 0) return bad(name, limit->given);
    }
    for (const Valued* const path : {&input, &expect, &tests}) {
        if (path->given != nullptr && *path->given == 0) return bad(path->option, path->given);
    }
    // A folder of cases gives each case its input and its answer.
    for (const Valued* const one : {&input, &expect}) {
        if (tests.given == nullptr || one->given == nullptr) continue;
        options.what = Options::together;
        options.name = tests.option;
        options.other = one->option;
        return options;
    }
    options.judging.input = input.given;
    options.judging.answer = expect.given;
    options.judging.folder = tests.given;
    // For an IDE whose command line cannot change: a folder with a folder of cases for each
    // program, used when it holds one for this program.
    if (input.given == nullptr && expect.given == nullptr && tests.given == nullptr) {
        options.judging.folder = setting("PIMBREL_TESTS");
        options.judging.folderOfTheProgram = options.judging.folder != nullptr && *options.judging.folder != 0;
        if (!options.judging.folderOfTheProgram) options.judging.folder = nullptr;
    }
    // A switch in the environment is 1 or 0; anything else is a mistake to say, not a no.
    const ArgChar* const utf8 = options.utf8Console ? nullptr : setting("PIMBREL_UTF8_CONSOLE");
    if (utf8 != nullptr && !is(utf8, "0")) {
        options.utf8Console = is(utf8, "1");
        if (!options.utf8Console) {
            options.what = Options::badSwitch;
            options.name = "PIMBREL_UTF8_CONSOLE";
            options.given = utf8;
        }
    }
    return options;
}
