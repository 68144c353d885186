// The comparison of an output with its answer, streamed: the output is taken as it comes
// and the answer read as far as the output has gone, so that neither is ever held whole.

#include "compare.h"

#include <algorithm>
#include <cstring>

namespace {

// What a judge takes for nothing at the end of a line.
bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }
// What stands between two words.
bool isSpace(int c) { return isBlank(c) || c == '\n' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

double magnitude(double value) { return value < 0 ? -value : value; }

// How many line feeds the bytes hold: counted a block at a time into a byte, which the
// compiler does many bytes at once.
long linesIn(const char* text, std::size_t size)
{
    long lines = 0;
    for (; size >= 128; text += 128, size -= 128) {
        unsigned char inBlock = 0;
        for (int i = 0; i < 128; ++i) inBlock = static_cast<unsigned char>(inBlock + (text[i] == '\n' ? 1 : 0));
        lines += inBlock;
    }
    for (; size > 0; ++text, --size) lines += *text == '\n' ? 1 : 0;
    return lines;
}

// How many bytes the two start with that agree: a block at a time while they do, which the C
// library compares many bytes at once, then byte by byte.
std::size_t agreeing(const char* one, const char* other, std::size_t size)
{
    constexpr std::size_t block = 256;
    std::size_t at = 0;
    while (at + block <= size && std::memcmp(one + at, other + at, block) == 0) at += block;
    while (at < size && one[at] == other[at]) ++at;
    return at;
}

}  // namespace

bool readsAsNumber(const char* text, std::size_t length, double& value)
{
    const char* at = text;
    const char* const end = text + length;
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    double mantissa = 0;
    long exponent = 0;
    bool digits = false;
    for (; at < end && isDigit(*at); ++at, digits = true) mantissa = mantissa * 10 + (*at - '0');
    if (at < end && *at == '.') {
        for (++at; at < end && isDigit(*at); ++at, --exponent, digits = true) mantissa = mantissa * 10 + (*at - '0');
    }
    if (!digits) return false;
    if (at < end && (*at == 'e' || *at == 'E')) {
        ++at;
        const bool minus = at < end && *at == '-';
        if (at < end && (*at == '-' || *at == '+')) ++at;
        if (at == end || !isDigit(*at)) return false;
        long power = 0;
        for (; at < end && isDigit(*at); ++at) power = std::min(power * 10 + (*at - '0'), 100000L);
        exponent += minus ? -power : power;
    }
    if (at != end) return false;
    double scale = 1, base = 10;
    for (unsigned long n = static_cast<unsigned long>(exponent < 0 ? -exponent : exponent); n > 0; n >>= 1, base *= base) {
        if ((n & 1) != 0) scale *= base;
    }
    value = exponent < 0 ? mantissa / scale : mantissa * scale;
    if (negative) value = -value;
    return true;
}

void Comparison::Shown::dropCarriageReturn()
{
    if (more || bytes == 0 || text[bytes - 1] != '\r') return;
    text[--bytes] = '\0';
    --characters;
}

void Comparison::Shown::add(char c)
{
    const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (more || (starts && characters == shownCharacters) || bytes + 1 >= sizeof text) {
        more = true;
        return;
    }
    characters += starts ? 1 : 0;
    blank = blank && isBlank(static_cast<unsigned char>(c));
    text[bytes++] = c;
    text[bytes] = '\0';
}

Comparison::Comparison(Source& answer, double floatError) : answer_(answer), floatError_(floatError)
{
    expected_.clear();
    received_.clear();
}

int Comparison::peek()
{
    if (at_ == size_ && !answerDone_) {
        at_ = 0;
        size_ = answer_.read(buffer_, sizeof buffer_);
        answerDone_ = size_ == 0;
    }
    return at_ < size_ ? static_cast<unsigned char>(buffer_[at_]) : -1;
}

void Comparison::advance()
{
    const char c = buffer_[at_++];
    if (c == '\n') {
        ++answerLine_;
        expected_.clear();
    } else {
        expected_.add(c);
    }
}

void Comparison::consume(int c)
{
    if (c == '\n') {
        ++line_;
        received_.clear();
    } else if (c >= 0) {
        received_.add(static_cast<char>(c));
    }
}

void Comparison::take(const char* output, std::size_t size)
{
    while (size > 0 && state_ != State::decided) {
        // Where the two agree, as much as agrees is passed over at once.
        if (state_ == State::comparing && floatError_ < 0 && peek() >= 0) {
            const std::size_t length = std::min(size, size_ - at_);
            const char* const agreed = output + agreeing(output, buffer_ + at_, length);
            if (agreed != output) {
                pass(output, static_cast<std::size_t>(agreed - output));
                size -= static_cast<std::size_t>(agreed - output);
                output = agreed;
                continue;
            }
        }
        step(static_cast<unsigned char>(*output++));
        --size;
    }
}

void Comparison::end()
{
    if (state_ == State::collecting) state_ = State::decided;
    while (state_ != State::decided) step(-1);
    // A carriage return before a line's end is no difference, and shown it would be noise.
    expected_.dropCarriageReturn();
    received_.dropCarriageReturn();
}

void Comparison::pass(const char* agreed, std::size_t length)
{
    const char* const end = agreed + length;
    const long lines = linesIn(agreed, length);
    const char* lineStart = agreed;
    if (lines > 0) {
        line_ += lines;
        answerLine_ += lines;
        received_.clear();
        expected_.clear();
        lineStart = std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(agreed), '\n').base();
    }
    for (const char* at = lineStart; at != end && !received_.more; ++at) received_.add(*at);
    expected_ = received_;
    at_ += length;
}

void Comparison::step(int c)
{
    if (state_ == State::collecting) {
        if (c == '\n' || c < 0) state_ = State::decided;
        else consume(c);
        return;
    }
    if (floatError_ < 0) byLines(c);
    else byTokens(c);
}

void Comparison::byLines(int c)
{
    switch (state_) {
    case State::comparing: {
        const int e = peek();
        if (c == e) {
            if (c < 0) {
                decide(Result::same, line_);
                return;
            }
            consume(c);
            advance();
            return;
        }
        // They differ; where either has blanks, those may be the end of its line.
        while (isBlank(peek())) advance();
        state_ = State::blanks;
        [[fallthrough]];
    }
    case State::blanks:
        if (isBlank(c)) consume(c);
        else resolveLine(c);
        return;
    case State::tail:
        if (c < 0) {
            decide(Result::same, line_);
        } else if (isBlank(c) || c == '\n') {
            consume(c);
        } else {
            consume(c);
            decide(Result::wentOn, line_);
        }
        return;
    case State::collecting:
    case State::decided:
        return;
    }
}

// Where the two differed and their blanks have been passed over: the output's next byte
// (or its end) against the answer's.
void Comparison::resolveLine(int c)
{
    const int e = peek();
    if (c == '\n' && e == '\n') {
        consume(c);
        advance();
        state_ = State::comparing;
        return;
    }
    const bool outputLineEnds = c == '\n' || c < 0, answerLineEnds = e == '\n' || e < 0;
    if (outputLineEnds && answerLineEnds) {
        if (e < 0 && c < 0) {
            decide(Result::same, line_);
        } else if (e < 0) {
            // The answer has ended: the rest of the output must be empty lines.
            consume(c);
            state_ = State::tail;
        } else {
            // The output has ended: the rest of the answer must be empty lines.
            while (isSpace(peek())) advance();
            if (answerEnded()) decide(Result::same, line_);
            else decide(Result::endedEarly, answerLine_);
        }
        return;
    }
    // One line holds what the other has not. Where one of the two has ended before its
    // line began, the output ended early or went on past the answer.
    if (e < 0 && expected_.blank) {
        consume(c);
        decide(Result::wentOn, line_);
    } else if (c < 0 && received_.blank) {
        decide(Result::endedEarly, answerLine_);
    } else {
        if (c != '\n') consume(c);
        decide(Result::differs, line_);
        // The output's line has ended already: nothing more of it to show.
        if (c == '\n') state_ = State::decided;
    }
}

void Comparison::byTokens(int c)
{
    if (state_ != State::comparing) return;
    if (!inToken_) {
        if (c >= 0 && isSpace(c)) {
            consume(c);
            return;
        }
        // A word of the output begins, or the output ends: so does the answer's next word,
        // or the answer.
        while (isSpace(peek())) advance();
        if (c < 0) {
            decide(answerEnded() ? Result::same : Result::endedEarly, answerEnded() ? line_ : answerLine_);
            return;
        }
        if (answerEnded()) {
            consume(c);
            decide(Result::wentOn, line_);
            return;
        }
        inToken_ = true;
        sameSoFar_ = true;
        outputLength_ = answerLength_ = 0;
    }
    if (c >= 0 && !isSpace(c)) {
        consume(c);
        if (outputLength_ < sizeof outputWord_) outputWord_[outputLength_] = static_cast<char>(c);
        ++outputLength_;
        const int e = peek();
        if (sameSoFar_ && e == c) {
            if (answerLength_ < sizeof answerWord_) answerWord_[answerLength_] = static_cast<char>(e);
            ++answerLength_;
            advance();
        } else {
            sameSoFar_ = false;
        }
        return;
    }
    finishToken();
    inToken_ = false;
    // What ended the word belongs to the line shown, or to what comes next.
    if (state_ == State::comparing) byTokens(c);
    else step(c);
}

// The output's word has ended: the rest of the answer's word is read, and the two judged.
void Comparison::finishToken()
{
    for (int e = peek(); e >= 0 && !isSpace(e); e = peek()) {
        if (answerLength_ < sizeof answerWord_) answerWord_[answerLength_] = static_cast<char>(e);
        ++answerLength_;
        sameSoFar_ = false;
        advance();
    }
    if (sameSoFar_ && outputLength_ == answerLength_) return;
    double mine = 0, theirs = 0;
    const bool numbers = outputLength_ <= sizeof outputWord_ && answerLength_ <= sizeof answerWord_ &&
                         readsAsNumber(outputWord_, outputLength_, mine) && readsAsNumber(answerWord_, answerLength_, theirs);
    const double difference = magnitude(mine - theirs);
    if (numbers && (difference <= floatError_ || difference <= floatError_ * magnitude(theirs))) return;
    // The rest of the answer's line is shown with it.
    decide(Result::differs, line_);
}

void Comparison::decide(Result result, long line)
{
    result_ = result;
    line_ = line;
    if (result == Result::same) {
        state_ = State::decided;
        return;
    }
    // The answer's line is shown whole, as far as it is shown; the output's, as it comes.
    // Where one of them has ended, there is no line of it to show.
    for (int e = peek(); e >= 0 && e != '\n' && !expected_.more; e = peek()) advance();
    if (result == Result::endedEarly) received_.clear();
    if (result == Result::wentOn) expected_.clear();
    state_ = result == Result::endedEarly ? State::decided : State::collecting;
}
