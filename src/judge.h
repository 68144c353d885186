#pragma once

// Practice as a judge judges: the program run on a sample's input, its output compared with
// the answer as it comes, and a verdict; or every case of a folder in turn, a line for each
// and a count at the end.

#include "compare.h"
#include "options.h"
#include "platform.h"
#include "run.h"

enum class Judgement { accepted, wrongAnswer, runtimeError, overTime, overMemory };

// A run's judgement: a limit it passed first, then how it ended, then its output.
inline Judgement judgementOf(const ChildEnd& end, Comparison::Result output)
{
    if (end.verdict == Verdict::overTime) return Judgement::overTime;
    if (end.verdict == Verdict::overMemory) return Judgement::overMemory;
    if (end.ending.signal != 0 || end.ending.exitCode != 0) return Judgement::runtimeError;
    return output == Comparison::Result::same ? Judgement::accepted : Judgement::wrongAnswer;
}

// Whether what the options name can be read, and for a folder, that it holds a case; if not,
// a line that names it and says why. For the folder of PIMBREL_TESTS, whether it holds the
// cases of this program: when it does not, the program runs as usual.
bool readyToJudge(Judging& judging, const ArgChar* program);

// Runs the command on the judging's input, judges its output against the answer, and
// reports; or runs every case of the folder. Returns the launcher's status: 0 when every
// case was accepted, 1 when one was not; a start that failed, as ever.
int judge(Command& command, const Options& options);
