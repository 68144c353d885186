#pragma once

// A run as a judge keeps it: the program started, watched within its limits, ended at the
// first it passes, and judged. Written once for every system; the system answers the
// questions of platform.h.

#include <cstddef>
#include <cstdint>

#include "platform.h"

// Limits for practice, as a contest judge sets them: on the run time the report shows and
// on the peak memory it shows, in seconds and MiB; 0 where none is asked. Each with the
// decimals it was given with, for the report to show it as given: 0.0005 s is no 0.000 s.
struct Limits {
    double seconds;
    double megabytes;
    int secondsDecimals = 0;
    int megabytesDecimals = 0;
};

inline bool limited(const Limits& limits) { return limits.seconds > 0 || limits.megabytes > 0; }

// Which limit a run passed, if any.
enum class Verdict { none, overTime, overMemory };

// A run, as it is reported.
struct ChildEnd {
    Start start;
    int reason;            // why it did not run, or why its end is not known (see Started)
    Refusal refusal;       // why it was refused
    Missing missing;       // what it was missing, when it was not found
    Ending ending;         // how it ended, when it ran; its peak the largest figure known
    double seconds;        // from just before it was created until its end was seen
    Verdict verdict;
    bool endedAtLimit;     // the launcher ended it, at the limit of the verdict
};

// How often the memory of a run under limits is looked at, in seconds.
inline constexpr double memoryLook = 0.010;

// Past the time limit: a run time over it, never one equal to it.
inline bool pastTimeLimit(double seconds, const Limits& limits)
{
    return limits.seconds > 0 && seconds > limits.seconds;
}

inline bool pastMemoryLimit(double megabytes, const Limits& limits)
{
    return limits.megabytes > 0 && megabytes > limits.megabytes;
}

// When to look at the run next, in seconds of its run time: at the time limit, and at the
// next look at its memory when it is watched; below 0 when there is nothing to look for.
inline double nextLook(double now, const Limits& limits, bool watchingMemory)
{
    double until = limits.seconds > 0 ? limits.seconds : -1;
    if (watchingMemory && (until < 0 || now + memoryLook < until)) until = now + memoryLook;
    return until;
}

// The verdict on a run that ended: the limit it was ended at, or else the one its figures
// are over (its peak can pass the memory limit between two looks, its run time the time
// limit as it ends by itself). A figure the system could not give judges nothing.
inline Verdict judge(const ChildEnd& end, const Limits& limits)
{
    if (end.endedAtLimit) return end.verdict;
    if (pastTimeLimit(end.seconds, limits)) return Verdict::overTime;
    if (pastMemoryLimit(end.ending.peakMegabytes, limits)) return Verdict::overMemory;
    return Verdict::none;
}

// What takes the program's output, when the output comes to the launcher.
class Output {
public:
    virtual void take(const char* bytes, std::size_t size) = 0;

protected:
    ~Output() = default;
};

// Runs the command in this console within the limits, and ends it, and everything it
// started, at the first it passes; what it writes goes to `output` when the plumbing brings
// it to the launcher. Under a limit, or with its output taken, the program's whole tree is
// followed and ended with it, as a judge ends it. Without limits nothing watches it: it costs
// what a run costs a shell.
ChildEnd runWithin(Command& command, const Limits& limits, const Plumbing& plumbing = {}, Output* output = nullptr);

// Exit statuses of the launcher's own, as env and timeout use them.
namespace status {
inline constexpr int noProgramNamed = 1;
inline constexpr int pastALimit = 124;
inline constexpr int launcherFailed = 125;
inline constexpr int usageError = 125;
inline constexpr int cannotRun = 126;
inline constexpr int notFound = 127;
}  // namespace status

// What the launcher ends with after the run: the program's exit code, or what says why
// there is none (as a shell says it), or that the run passed a limit (as timeout says it).
inline int exitStatus(const ChildEnd& end)
{
    switch (end.start) {
    case Start::ran: return end.verdict != Verdict::none ? status::pastALimit : end.ending.exitCode;
    case Start::notFound: return status::notFound;
    case Start::notRunnable:
    case Start::refused: return status::cannotRun;
    case Start::endAsked: return 128 + end.reason;
    case Start::lost: return status::launcherFailed;
    }
    return status::launcherFailed;
}
