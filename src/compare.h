#pragma once

// The program's output against the answer expected of it, compared as a judge compares
// them, as the output comes: neither is ever held whole, whatever their size.
//
// By lines (the default): a carriage return before a line feed, blanks and tabs at the end
// of a line, and empty lines at the end are no difference; anything else is. By tokens
// (with a float error E): the texts are compared word by word, whatever whitespace stands
// between the words, and two words that both read as numbers are equal when they differ by
// at most E, or by at most E times the expected one.

#include <cstddef>

// Where the answer is read from, as it is needed.
class Source {
public:
    // Up to `size` bytes into `text`; 0 at the end.
    virtual std::size_t read(char* text, std::size_t size) = 0;

protected:
    ~Source() = default;
};

class Comparison {
public:
    // Below 0: by lines; else by tokens, with that error allowed between numbers.
    Comparison(Source& answer, double floatError);

    // The program's output, as it comes, and its end.
    void take(const char* output, std::size_t size);
    void end();

    enum class Result {
        same,
        differs,     // a line differs: `line`, `expected` and `received` say which and how
        endedEarly,  // the output ended where the answer goes on, at `line`
        wentOn,      // the output went on past the answer's end, at `line`
    };
    // Known once the output has ended (and as soon as it differs).
    Result result() const { return result_; }
    long line() const { return line_; }
    // The two lines where they differ, each at most `shownCharacters` characters of UTF-8,
    // and whether there was more.
    static constexpr std::size_t shownCharacters = 60;
    const char* expected() const { return expected_.text; }
    const char* received() const { return received_.text; }
    bool expectedCut() const { return expected_.more; }
    bool receivedCut() const { return received_.more; }

private:
    // The bytes of a line as far as they are shown: a few more than 60 characters of UTF-8
    // at most; what comes after is counted, not kept.
    struct Shown {
        char text[4 * shownCharacters + 8];
        std::size_t bytes = 0, characters = 0;
        bool more = false;
        bool blank = true;  // nothing in it but blanks
        void clear() { bytes = characters = 0, more = false, blank = true, text[0] = '\0'; }
        void add(char c);
        void dropCarriageReturn();
    };

    // The answer, with one byte to look at.
    int peek();
    void advance();
    bool answerEnded() { return peek() < 0; }

    // The output's next byte (below 0: its end), and a run of it that agrees with the answer.
    void step(int c);
    void pass(const char* agreed, std::size_t length);
    void consume(int c);

    void byLines(int c);
    void byTokens(int c);
    void resolveLine(int c);
    void finishToken();
    void decide(Result result, long line);

    enum class State {
        comparing,   // byte for byte, or word for word
        blanks,      // the two differ where one has blanks: the output's are skipped
        tail,        // the answer has ended: the rest of the output must be blank
        collecting,  // decided, and what the output's line holds is still shown
        decided,
    };

    Source& answer_;
    double floatError_;
    State state_ = State::comparing;
    Result result_ = Result::same;
    long line_ = 1;          // the output's line
    long answerLine_ = 1;    // the answer's line
    char buffer_[1 << 18];  // a piece of the answer
    std::size_t at_ = 0, size_ = 0;
    bool answerDone_ = false;
    Shown expected_, received_;
    // By tokens: inside a word of the output, and what of it and of the answer's word is
    // known: the first bytes, for reading them as numbers, and whether they are equal so far.
    bool inToken_ = false;
    bool sameSoFar_ = true;
    char outputWord_[72], answerWord_[72];
    std::size_t outputLength_ = 0, answerLength_ = 0;
};

// Whether a word reads as a decimal number (-1, 2.50, .5, 1e-9), and its value. Read here,
// not by strtod, which follows the locale and would bring mingw's own into the Windows exe.
bool readsAsNumber(const char* text, std::size_t length, double& value);

// Whether one name comes before another in natural order, as a person sorts them: runs of
// digits compare as numbers, so that 2 comes before 10.
template <typename Char>
bool naturalLess(const Char* one, const Char* other)
{
    const auto digit = [](Char c) { return c >= '0' && c <= '9'; };
    while (*one != 0 && *other != 0) {
        if (digit(*one) && digit(*other)) {
            // Leading zeros aside, the longer run is the larger number; of equal length, the
            // first digit that differs decides.
            while (*one == '0' && digit(one[1])) ++one;
            while (*other == '0' && digit(other[1])) ++other;
            const Char* a = one;
            const Char* b = other;
            while (digit(*a) && digit(*b)) ++a, ++b;
            if (digit(*a) != digit(*b)) return digit(*b);
            for (; one != a; ++one, ++other) {
                if (*one != *other) return *one < *other;
            }
            continue;
        }
        if (*one != *other) return *one < *other;
        ++one, ++other;
    }
    return *one == 0 && *other != 0;
}
