// Judged runs: one run against its answer, or every case of a folder, each a run under the
// limits with its output shown as it comes and compared as it comes.

#include "judge.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "report.h"
#include "texts.h"

namespace {

using Characters = std::char_traits<ArgChar>;

// A path made of a folder, a name and an ending ("" or ".in"); null without memory for it.
ArgChar* joined(const ArgChar* folder, const ArgChar* name, const char* ending)
{
    const std::size_t folderLength = Characters::length(folder), nameLength = Characters::length(name);
    const std::size_t endingLength = std::strlen(ending);
    auto* const path =
        static_cast<ArgChar*>(std::malloc((folderLength + nameLength + endingLength + 2) * sizeof(ArgChar)));
    if (path == nullptr) return nullptr;
    ArgChar* at = path;
    Characters::copy(at, folder, folderLength);
    at += folderLength;
    if (folderLength > 0 && folder[folderLength - 1] != '/' && folder[folderLength - 1] != '\\') *at++ = '/';
    Characters::copy(at, name, nameLength);
    at += nameLength;
    for (std::size_t i = 0; i <= endingLength; ++i) *at++ = static_cast<ArgChar>(ending[i]);
    return path;
}

// The program's name without its folder and its extension: hello for ./hello, hello.exe or
// C:\work\hello.exe.
ArgChar* stemOf(const ArgChar* program)
{
    const ArgChar* name = program;
    for (const ArgChar* at = program; *at != 0; ++at) {
        if (*at == '/' || *at == '\\' || *at == ':') name = at + 1;
    }
    std::size_t length = Characters::length(name);
    for (std::size_t at = length; at > 1; --at) {
        if (name[at - 1] == '.') {
            length = at - 1;
            break;
        }
    }
    auto* const stem = static_cast<ArgChar*>(std::malloc((length + 1) * sizeof(ArgChar)));
    if (stem == nullptr) return nullptr;
    Characters::copy(stem, name, length);
    stem[length] = 0;
    return stem;
}

// Whether a name ends so, in any case of its ASCII letters (Windows names have no case).
bool endsWith(const ArgChar* name, const char* ending)
{
    const std::size_t length = Characters::length(name), endingLength = std::strlen(ending);
    if (length <= endingLength) return false;
    const ArgChar* at = name + length - endingLength;
    for (; *ending != '\0'; ++at, ++ending) {
        const ArgChar lower = *at >= 'A' && *at <= 'Z' ? static_cast<ArgChar>(*at - 'A' + 'a') : *at;
        if (lower != static_cast<ArgChar>(*ending)) return false;
    }
    return true;
}

// The cases of a folder: the names of its NAME.in, without the .in, in natural order.
class Cases {
public:
    Cases() = default;
    ~Cases()
    {
        for (int i = 0; i < count_; ++i) std::free(names_[i]);
        std::free(names_);
    }
    Cases(const Cases&) = delete;
    Cases& operator=(const Cases&) = delete;

    // 0, or why the folder cannot be read.
    int read(const ArgChar* folder)
    {
        const int error = listFolder(folder, add, this);
        std::sort(names_, names_ + count_, [](const ArgChar* one, const ArgChar* other) { return naturalLess(one, other); });
        return error;
    }
    int count() const { return count_; }
    const ArgChar* operator[](int i) const { return names_[i]; }

private:
    static void add(const ArgChar* name, void* context)
    {
        auto& cases = *static_cast<Cases*>(context);
        if (!endsWith(name, ".in")) return;
        if (cases.count_ == cases.room_) {
            const int room = cases.room_ == 0 ? 16 : 2 * cases.room_;
            auto* const more = static_cast<ArgChar**>(std::realloc(cases.names_, room * sizeof(ArgChar*)));
            if (more == nullptr) return;
            cases.names_ = more;
            cases.room_ = room;
        }
        const std::size_t length = Characters::length(name) - 3;
        auto* const stem = static_cast<ArgChar*>(std::malloc((length + 1) * sizeof(ArgChar)));
        if (stem == nullptr) return;
        Characters::copy(stem, name, length);
        stem[length] = 0;
        cases.names_[cases.count_++] = stem;
    }

    ArgChar** names_ = nullptr;
    int count_ = 0, room_ = 0;
};

// The folder of this program's cases within the folder of PIMBREL_TESTS, while it is used.
ArgChar* programsFolder = nullptr;

// An answer, read as the comparison needs it.
class Answer final : public Source {
public:
    explicit Answer(File file) : file_(file) {}
    std::size_t read(char* text, std::size_t size) override { return readFile(file_, text, size); }

private:
    File file_;
};

// What takes a judged program's output: the console, as the program wrote it, and the
// comparison with its answer, when it has one.
class Shown final : public Output {
public:
    explicit Shown(Comparison* comparison) : comparison_(comparison) {}
    void take(const char* bytes, std::size_t size) override
    {
        sayBytes(Stream::out, bytes, size);
        if (comparison_ != nullptr) comparison_->take(bytes, size);
    }

private:
    Comparison* comparison_;
};

// Room for the one comparison a run has at a time, out of the stack, as it holds a piece of
// the answer; taken when the first is made.
void* comparisonRoom = nullptr;

// One run on an input, its output shown as it comes, and compared with the answer when there
// is one.
struct Judged {
    ChildEnd end{};
    Comparison* comparison = nullptr;  // when it had an answer
    Judgement judgement = Judgement::accepted;
};

Judged judgeRun(Command& command, const Options& options, const ArgChar* input, const ArgChar* answerFile)
{
    Judged judged;
    File file{};
    if (comparisonRoom == nullptr && answerFile != nullptr) comparisonRoom = std::malloc(sizeof(Comparison));
    const bool answered = comparisonRoom != nullptr && answerFile != nullptr && openFile(answerFile, file) == 0;
    Answer answer(file);
    if (answered) judged.comparison = new (comparisonRoom) Comparison(answer, options.judging.floatError);
    Shown output(judged.comparison);
    judged.end = runWithin(command, options.limits, {input, true}, &output);
    if (answered) {
        // Once it has ended, the comparison reads no more of the answer: what it found it keeps.
        judged.comparison->end();
        closeFile(file);
        judged.judgement = judgementOf(judged.end, judged.comparison->result());
    }
    return judged;
}

}  // namespace

bool readyToJudge(Judging& judging, const ArgChar* program)
{
    if (judging.folderOfTheProgram) {
        // Only a program that has cases there is judged; any other runs as usual.
        ArgChar* const stem = stemOf(program);
        programsFolder = stem != nullptr ? joined(judging.folder, stem, "") : nullptr;
        std::free(stem);
        Cases cases;
        if (programsFolder == nullptr || cases.read(programsFolder) != 0 || cases.count() == 0) {
            std::free(programsFolder);
            programsFolder = nullptr;
        }
        judging.folder = programsFolder;
        return true;
    }
    for (const ArgChar* const path : {judging.input, judging.answer}) {
        File file{};
        const int error = path != nullptr ? openFile(path, file) : 0;
        if (path != nullptr && error == 0) closeFile(file);
        if (error == 0) continue;
        say(Stream::err, texts.cannotRead, Utf8(path).text(), systemWords(error));
        return false;
    }
    if (judging.folder == nullptr) return true;
    Cases cases;
    if (const int error = cases.read(judging.folder); error != 0) {
        say(Stream::err, texts.cannotRead, Utf8(judging.folder).text(), systemWords(error));
        return false;
    }
    if (cases.count() > 0) return true;
    say(Stream::err, texts.noCases, Utf8(judging.folder).text());
    return false;
}

int judge(Command& command, const Options& options)
{
    const Judging& judging = options.judging;
    sayRunning(command);

    // One run against its answer.
    if (judging.folder == nullptr) {
        const Judged judged = judgeRun(command, options, judging.input, judging.answer);
        const ChildEnd& end = judged.end;
        if (end.start != Start::ran && end.start != Start::endAsked) sayWhyItDidNotRun(command, end);
        if (end.start == Start::endAsked) return exitStatus(end);
        sayReport(end, options.limits);
        if (end.start == Start::ran) sayVerdict(judged.judgement, judged.comparison);
        sayPrompt();
        if (!end.ending.askedToEnd) waitForKey();
        if (end.start != Start::ran || end.ending.askedToEnd) return exitStatus(end);
        return judged.judgement == Judgement::accepted ? 0 : 1;
    }

    // Every case of the folder, a run each, and then the count.
    Cases cases;
    cases.read(judging.folder);
    int judgedCases = 0, passed = 0, status = 0;
    bool askedToEnd = false;
    for (int i = 0; i < cases.count() && !askedToEnd; ++i) {
        ArgChar* const input = joined(judging.folder, cases[i], ".in");
        ArgChar* answer = joined(judging.folder, cases[i], ".out");
        File file{};
        if (answer != nullptr && openFile(answer, file) == 0) {
            closeFile(file);
        } else {
            std::free(answer);
            answer = joined(judging.folder, cases[i], ".ans");
        }
        sayCase(cases[i]);
        const Judged judged = judgeRun(command, options, input, answer);
        std::free(input);
        std::free(answer);
        const ChildEnd& end = judged.end;
        askedToEnd = end.start == Start::endAsked || end.ending.askedToEnd;
        if (end.start != Start::ran) {
            if (end.start != Start::endAsked) sayWhyItDidNotRun(command, end);
            status = exitStatus(end);
            break;
        }
        sayCaseEnd(cases[i], end, options.limits, judged.comparison != nullptr ? &judged.judgement : nullptr,
                   judged.comparison);
        if (judged.comparison == nullptr) continue;
        ++judgedCases;
        if (judged.judgement == Judgement::accepted) ++passed;
        else status = 1;
    }
    if (status == 0 || status == 1) saySummary(passed, judgedCases);
    sayPrompt();
    if (!askedToEnd) waitForKey();
    return status;
}
