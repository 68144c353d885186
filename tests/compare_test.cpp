// The comparison of an output with its answer, in process: each row fed in pieces of every
// size, so that no boundary between two reads can change the verdict.

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "compare.h"

namespace {

// An answer read a few bytes at a time.
class Answer : public Source {
public:
    Answer(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {}
    std::size_t read(char* into, std::size_t size) override
    {
        const std::size_t count = std::min({size, piece_, text_.size() - at_});
        text_.copy(into, count, at_);
        at_ += count;
        return count;
    }

private:
    std::string text_;
    std::size_t piece_, at_ = 0;
};

using Result = Comparison::Result;

struct Row {
    const char* what;
    std::string output, answer;
    double floatError;
    Result result;
    long line = 0;
    std::string expected = "", received = "";
};

TEST(Comparison, AsAJudgeComparesWhateverPiecesTheOutputComesIn)
{
    const std::string hundred(100, 'x'), sixty(60, 'x');
    const Row rows[] = {
        {"the same", "1 2\n3\n", "1 2\n3\n", -1, Result::same},
        {"blanks and tabs at the ends of lines", "1 2  \n3\t\n", "1 2\n3 \n", -1, Result::same},
        {"an answer with CRLF", "1\n2\n", "1\r\n2\r\n", -1, Result::same},
        {"no final line feed", "1\n2", "1\n2\n", -1, Result::same},
        {"no final line feed in the answer", "1\n2\n", "1\n2", -1, Result::same},
        {"empty lines at the end", "1\n\n \n", "1\n", -1, Result::same},
        {"empty lines at the answer's end", "1\n", "1\n\n\r\n\n", -1, Result::same},
        {"nothing for nothing", "", "\n", -1, Result::same},
        {"a blank in the middle", "1  2\n", "1 2\n", -1, Result::differs, 1, "1 2", "1  2"},
        {"a blank at the start", " 1\n", "1\n", -1, Result::differs, 1, "1", " 1"},
        {"the second line", "a\nb b b\nc\n", "a\nx\nc\n", -1, Result::differs, 2, "x", "b b b"},
        {"an empty line in the middle", "a\n\nb\n", "a\nb\n", -1, Result::differs, 2, "b", ""},
        {"a line longer than its answer", "abc\n", "ab\n", -1, Result::differs, 1, "ab", "abc"},
        {"a carriage return inside a line", "a\rb\n", "a b\n", -1, Result::differs, 1, "a b", "a\rb"},
        {"lines ending in CR LF", "5\r\n", "6\r\n", -1, Result::differs, 1, "6", "5"},
        {"ended early", "a\n", "a\nb\n", -1, Result::endedEarly, 2, "b"},
        {"ended early after blanks", "a\n  ", "a\n\nb\n", -1, Result::endedEarly, 3, "b"},
        {"went on past the end", "a\n\nb\nmore\n", "a\n", -1, Result::wentOn, 3, "", "b"},
        {"long lines shown cut", hundred + "\n", std::string(100, 'y') + "\n", -1, Result::differs, 1,
         std::string(60, 'y'), sixty},
        {"whole characters", "中文中文\n", "中文\n", -1, Result::differs, 1, "中文", "中文中文"},
        // By tokens: whitespace of any kind between words, numbers within the error.
        {"numbers within the error", "1.0000001 2\n", "1 2", 1e-6, Result::same},
        {"any whitespace", "1 2 3", "1\n2\n\n3\n", 1e-6, Result::same},
        {"within the error absolutely", "1e-9\n", "0\n", 1e-6, Result::same},
        {"within the error relatively", "1000001\n", "1000000\n", 1e-6, Result::same},
        {"a number outside the error", "0 1.1\n", "0 1\n", 1e-6, Result::differs, 1, "0 1", "0 1.1"},
        {"the rest of the line shown whole", "1 2 3 4\r\n", "1 5 3 4\n", 1e-6, Result::differs, 1, "1 5 3 4", "1 2 3 4"},
        {"a word against a number", "1\nabc\n", "1\n1\n", 1e-6, Result::differs, 2, "1", "abc"},
        {"words are exact", "Yes\n", "YES\n", 1e-6, Result::differs, 1, "YES", "Yes"},
        {"a word that only starts the same", "abcd\n", "abc\n", 1e-6, Result::differs, 1, "abc", "abcd"},
        {"too few words", "1 2", "1 2\n3\n", 1e-6, Result::endedEarly, 2, "3"},
        {"too many words", "1 2 3\n4\n", "1 2 3", 1e-6, Result::wentOn, 2, "", "4"},
    };
    for (const Row& row : rows) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
            Answer answer(row.answer, piece);
            Comparison comparison(answer, row.floatError);
            for (std::size_t at = 0; at < row.output.size(); at += piece) {
                comparison.take(row.output.data() + at, std::min(piece, row.output.size() - at));
            }
            comparison.end();
            const std::string what = std::string(row.what) + ", in pieces of " + std::to_string(piece);
            EXPECT_EQ(comparison.result(), row.result) << what;
            if (row.result == Result::same) continue;
            EXPECT_EQ(comparison.line(), row.line) << what;
            EXPECT_EQ(comparison.expected(), row.expected) << what;
            EXPECT_EQ(comparison.received(), row.received) << what;
        }
    }
}

TEST(Comparison, NamesSortAsAPersonSortsThem)
{
    const char* names[] = {"10", "sample10", "2", "1", "sample2", "b", "a10", "a9", "01x"};
    std::sort(std::begin(names), std::end(names), [](const char* a, const char* b) { return naturalLess(a, b); });
    const std::vector<std::string> sorted(std::begin(names), std::end(names));
    EXPECT_EQ(sorted, (std::vector<std::string>{"1", "01x", "2", "10", "a9", "a10", "b", "sample2", "sample10"}));
}

}  // namespace
