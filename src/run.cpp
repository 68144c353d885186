// The watch over a run: one loop for every system, which asks the system only for facts
// (has it ended, how long has it run, how much memory does its tree hold) and to end it.

#include "run.h"

ChildEnd runWithin(Command& command, const Limits& limits)
{
    ChildEnd end{};
    const Started started = startProgram(command, limited(limits));
    end.start = started.start;
    end.reason = started.reason;
    end.refusal = started.refusal;
    end.missing = started.missing;
    end.seconds = started.seconds;
    if (started.program == nullptr) return end;

    // Under a limit the memory of the whole tree is looked at, for the cost line as much as
    // for the memory limit; a system that cannot tell it leaves the verdict to its own
    // figure at the end.
    Program& program = *started.program;
    bool watchingMemory = limited(limits);
    double peak = -1;
    for (;;) {
        const double until = end.endedAtLimit ? -1 : nextLook(secondsRunning(program), limits, watchingMemory);
        const Awaited awaited = awaitProgram(program, until, end.reason);
        if (awaited == Awaited::lost) end.start = Start::lost;
        if (awaited != Awaited::timedOut) break;
        if (watchingMemory) {
            const double now = treeMegabytes(program);
            watchingMemory = now >= 0;
            if (now > peak) peak = now;
            if (pastMemoryLimit(peak, limits)) end.verdict = Verdict::overMemory;
        }
        if (end.verdict == Verdict::none && pastTimeLimit(secondsRunning(program), limits)) {
            end.verdict = Verdict::overTime;
        }
        if (end.verdict != Verdict::none) {
            end.endedAtLimit = true;
            endTree(program);
        }
    }
    end.seconds = secondsRunning(program);
    end.ending = finishProgram(started.program);
    if (peak > end.ending.peakMegabytes) end.ending.peakMegabytes = peak;
    if (end.start == Start::ran) end.verdict = judge(end, limits);
    return end;
}
