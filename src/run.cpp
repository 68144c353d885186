// The watch over a run: one loop for every system, which asks the system only for facts
// (has it ended, how long has it run, how much memory does its tree hold, what has it
// written) and to end it.

#include "run.h"

namespace {

// Hands what the program wrote to what takes it: what has come, or, waiting, all of it to its
// end.
void pass(Program& program, Output& output, bool toTheEnd)
{
    const char* bytes = nullptr;
    for (std::ptrdiff_t got; (got = readOutput(program, bytes, toTheEnd)) > 0;) {
        output.take(bytes, static_cast<std::size_t>(got));
    }
}

}  // namespace

ChildEnd runWithin(Command& command, const Limits& limits, const Plumbing& plumbing, Output* output)
{
    ChildEnd end{};
    const bool followed = limited(limits) || output != nullptr;
    const Started started = startProgram(command, followed, plumbing);
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
        if (awaited == Awaited::ended || awaited == Awaited::lost) break;
        // A program that writes without a pause is looked at all the same, when the time comes.
        if (awaited == Awaited::output && output != nullptr) {
            pass(program, *output, false);
            if (until < 0 || secondsRunning(program) < until) continue;
        }
        if (watchingMemory) {
            const double now = treeMegabytes(program);
            watchingMemory = now >= 0;
            if (now > peak) peak = now;
            if (pastMemoryLimit(peak, limits)) end.verdict = Verdict::overMemory;
        }
        if (end.verdict == Verdict::none && pastTimeLimit(secondsRunning(program), limits)) {
            end.verdict = Verdict::overTime;
        }
        if (end.verdict != Verdict::none && !end.endedAtLimit) {
            end.endedAtLimit = true;
            endTree(program);
        }
    }
    end.seconds = secondsRunning(program);
    // What the program left running ends with it, as a judge ends it, and what it wrote is
    // read to its end.
    if (followed && end.start == Start::ran) endTree(program);
    if (output != nullptr && end.start == Start::ran) pass(program, *output, true);
    end.ending = finishProgram(started.program);
    if (peak > end.ending.peakMegabytes) end.ending.peakMegabytes = peak;
    if (end.start == Start::ran) end.verdict = judge(end, limits);
    return end;
}
