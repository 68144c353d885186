#pragma once

// What the launcher is asked before the program: its own words, limits for practice as a
// contest judge sets them, what to judge the program by, and a UTF-8 console for the
// program, from options in GNU form or, for an IDE whose command line cannot be changed,
// from the environment (options win); and the language it speaks.

#include <cstddef>
#include <initializer_list>

#include "compare.h"
#include "platform.h"
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

// What an option's value is.
enum class Value { seconds, megabytes, error, file, folder };

struct Options {
    enum What { run, help, version, badValue, tooLarge, missingValue, badSwitch, unknownOption, together } what = run;
    int program = 0;                 // where the program stands among the arguments
    Limits limits{};
    Judging judging{};
    bool utf8Console = false;        // the program runs on a console at code page 65001
    const char* name = nullptr;      // the option or variable whose value is bad, or which
                                     // cannot go with `other`
    const char* other = nullptr;
    Value expected = Value::seconds; // what that value should be
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

// The largest value a limit takes: more than any limit a machine could hold.
inline constexpr double largestValue = 1e9;

// A limit's value, read: a positive decimal number (1, 0.5, 2.5) no larger than
// largestValue, with the decimals it was given with; or not one (empty, 0, -1, 1x, abc,
// nan, 1e3), or too large.
struct Number {
    enum { positive, notPositive, tooLarge } read = notPositive;
    double value = 0;
    int decimals = 0;
};

// Read digit by digit: the C library's strtod would bring mingw's own into the Windows exe,
// and double its size.
inline Number readNumber(const ArgChar* text)
{
    Number number;
    double scale = 1;
    bool point = false;
    for (; *text != 0; ++text) {
        if (*text == '.' && !point) {
            point = true;
        } else if (*text >= '0' && *text <= '9') {
            const int digit = static_cast<int>(*text - '0');
            if (point) {
                number.value += digit * (scale /= 10);
                ++number.decimals;
            } else {
                number.value = number.value * 10 + digit;
            }
        } else {
            number.read = Number::notPositive;
            return number;
        }
        if (number.value > largestValue) number.read = Number::tooLarge;
    }
    if (number.read != Number::tooLarge) number.read = number.value > 0 ? Number::positive : Number::notPositive;
    return number;
}

// An error allowed between numbers: a number that is not negative, as a decimal or in
// exponent form (1e-6); below 0 for anything else.
inline double errorAllowed(const ArgChar* text)
{
    char ascii[64];
    std::size_t length = 0;
    for (; text[length] != 0; ++length) {
        if (length + 1 >= sizeof ascii || static_cast<unsigned long>(text[length]) > 127) return -1;
        ascii[length] = static_cast<char>(text[length]);
    }
    double value = -1;
    return readsAsNumber(ascii, length, value) && value >= 0 ? value : -1;
}

// Every argument before the program that starts with '-' is an option, up to "--".
inline Options readOptions(int argc, ArgChar* const* argv)
{
    Options options;
    // The options that take a value, and the variables that stand for them.
    struct Valued {
        const char* option;
        const char* variable;
        Value kind;
        const ArgChar* given;
    } valued[] = {
        {"--time-limit", "PIMBREL_TIME_LIMIT", Value::seconds, nullptr},
        {"--memory-limit", "PIMBREL_MEMORY_LIMIT", Value::megabytes, nullptr},
        {"--float-error", "PIMBREL_FLOAT_ERROR", Value::error, nullptr},
        {"--input", nullptr, Value::file, nullptr},
        {"--expect", nullptr, Value::file, nullptr},
        {"--tests", nullptr, Value::folder, nullptr},
    };
    Valued& input = valued[3];
    Valued& expect = valued[4];
    Valued& tests = valued[5];
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        const ArgChar* const option = argv[at];
        if (is(option, "--")) {
            ++at;
            break;
        }
        if (is(option, "--help") || is(option, "-h")) return {Options::help};
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
            one.given = *rest == '=' ? rest + 1 : at + 1 < argc ? argv[++at] : nullptr;
            if (one.given == nullptr) {
                options.what = Options::missingValue;
                options.name = one.option;
                options.expected = one.kind;
                return options;
            }
        }
        if (asked == nullptr) {
            options.what = Options::unknownOption;
            options.given = option;
            return options;
        }
    }
    options.program = at;
    const auto bad = [&options](Options::What what, const char* name, const ArgChar* given, Value expected) {
        options.what = what;
        options.name = name;
        options.expected = expected;
        options.given = given;
        return options;
    };
    for (Valued& one : valued) {
        const char* const name = one.given != nullptr ? one.option : one.variable;
        if (one.given == nullptr && one.variable != nullptr) one.given = setting(one.variable);
        if (one.given == nullptr) continue;
        if (one.kind == Value::file || one.kind == Value::folder) {
            if (*one.given == 0) return bad(Options::badValue, name, one.given, one.kind);
            continue;
        }
        if (one.kind == Value::error) {
            options.judging.floatError = errorAllowed(one.given);
            if (options.judging.floatError < 0) return bad(Options::badValue, name, one.given, one.kind);
            continue;
        }
        const Number number = readNumber(one.given);
        const bool megabytes = one.kind == Value::megabytes;
        if (number.read != Number::positive) {
            return bad(number.read == Number::tooLarge ? Options::tooLarge : Options::badValue, name, one.given, one.kind);
        }
        (megabytes ? options.limits.megabytes : options.limits.seconds) = number.value;
        (megabytes ? options.limits.megabytesDecimals : options.limits.secondsDecimals) = number.decimals;
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

// Whether a language or locale's name is of this language: "en", "en_US.UTF-8", "en:zh".
inline bool ofLanguage(const ArgChar* name, const char* language)
{
    const ArgChar* rest = nullptr;
    if (name == nullptr || !is(name, language, &rest)) return false;
    for (const char end : {'\0', '_', '.', '@', ':', '-'}) {
        if (*rest == static_cast<ArgChar>(end)) return true;
    }
    return false;
}

enum class Language { chinese, english };

// Whether PIMBREL_LANG names a language the launcher speaks.
inline bool speaks(const ArgChar* asked) { return ofLanguage(asked, "en") || ofLanguage(asked, "zh"); }

// The language of the messages: the one PIMBREL_LANG asks for; else, as gettext walks
// LANGUAGE, the first the user prefers that the launcher speaks, where C (the programs' own
// messages) stops the walk; else the locale's. English for those who read it; for everyone
// else the launcher's own language, Chinese, which is also what whatever reads its output
// expects.
inline Language languageFor(const ArgChar* asked, const UsersLanguages& users)
{
    if (speaks(asked)) return ofLanguage(asked, "en") ? Language::english : Language::chinese;
    for (const ArgChar* at = users.preferred; at != nullptr && *at != 0;) {
        if (ofLanguage(at, "en")) return Language::english;
        if (ofLanguage(at, "zh") || ofLanguage(at, "C") || ofLanguage(at, "POSIX")) return Language::chinese;
        while (*at != 0 && *at != ':') ++at;
        if (*at == ':') ++at;
    }
    return ofLanguage(users.locale, "en") ? Language::english : Language::chinese;
}
