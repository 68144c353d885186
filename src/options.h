#pragma once

// What the launcher is asked before the program: its own words, limits for practice as a
// contest judge sets them, and a UTF-8 console for the program, from options in GNU form or,
// for an IDE whose command line cannot be changed, from the environment (options win); and
// the language it speaks.

#include <initializer_list>

#include "platform.h"
#include "run.h"

struct Options {
    enum What { run, help, version, badValue, tooLarge, missingValue, badSwitch, unknownOption } what = run;
    int program = 0;                 // where the program stands among the arguments
    Limits limits{};
    bool utf8Console = false;        // the program runs on a console at code page 65001
    const char* name = nullptr;      // the option or variable whose value is bad
    bool megabytes = false;          // that value is in MB, not seconds
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

// Every argument before the program that starts with '-' is an option, up to "--".
inline Options readOptions(int argc, ArgChar* const* argv)
{
    Options options;
    struct Limit {
        const char* option;
        const char* variable;
        double* value;
        int* decimals;
        const ArgChar* given;
    } limits[] = {
        {"--time-limit", "PIMBREL_TIME_LIMIT", &options.limits.seconds, &options.limits.secondsDecimals, nullptr},
        {"--memory-limit", "PIMBREL_MEMORY_LIMIT", &options.limits.megabytes, &options.limits.megabytesDecimals, nullptr},
    };
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
        Limit* asked = nullptr;
        for (Limit& limit : limits) {
            const ArgChar* rest = nullptr;
            if (!is(option, limit.option, &rest) || (*rest != 0 && *rest != '=')) continue;
            asked = &limit;
            // --time-limit=1, or --time-limit 1 as GNU tools take it too.
            limit.given = *rest == '=' ? rest + 1 : at + 1 < argc ? argv[++at] : nullptr;
            if (limit.given == nullptr) {
                options.what = Options::missingValue;
                options.name = limit.option;
                options.megabytes = limit.value == &options.limits.megabytes;
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
    for (Limit& limit : limits) {
        const char* const name = limit.given != nullptr ? limit.option : limit.variable;
        const ArgChar* const given = limit.given != nullptr ? limit.given : setting(limit.variable);
        if (given == nullptr) continue;
        const Number number = readNumber(given);
        if (number.read == Number::positive) {
            *limit.value = number.value;
            *limit.decimals = number.decimals;
            continue;
        }
        options.what = number.read == Number::tooLarge ? Options::tooLarge : Options::badValue;
        options.name = name;
        options.megabytes = limit.value == &options.limits.megabytes;
        options.given = given;
        return options;
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
