#pragma once

// Everything the launcher says of a run, in the user's language, written once for every
// system from the facts the system gives: the line it runs, why it did not start, the report
// of its end, how it ended when not by itself, which limit it passed, what it cost.

#include "compare.h"
#include "judge.h"
#include "platform.h"
#include "run.h"

// The running line: the command line, and an empty line before what the program writes.
void sayRunning(const Command& command);

// Why the program did not run, on standard error.
void sayWhyItDidNotRun(const Command& command, const ChildEnd& end);

// The report of a run: its exit code and run time; on standard error, how it ended when it
// did not end by itself, or which limit it passed, and what it cost.
void sayReport(const ChildEnd& end, const Limits& limits);

// The prompt to press a key.
void sayPrompt();

// A judged run's verdict, and where a wrong answer differs from its answer.
void sayVerdict(Judgement judgement, const Comparison* comparison);

// A case of a folder: its name before its output, and after its run a line of its verdict
// (none where it has no answer), its run time and peak memory, and what more the verdict
// needs said; at the end, how many passed.
void sayCase(const ArgChar* name);
void sayCaseEnd(const ArgChar* name, const ChildEnd& end, const Limits& limits, const Judgement* judgement,
                const Comparison* comparison);
void saySummary(int passed, int judged);
