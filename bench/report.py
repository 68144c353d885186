#!/usr/bin/env python3
"""Writes docs/benchmarks.md, on standard output, from the raw figures that bench/run keeps
in BUILD/data: the statistics, the goals and the Markdown.

    python3 bench/report.py BUILD

A race's file has a line of names, then one line a round, one column a command, in ms.
A command's figure is its median over the rounds, a ratio that of two such figures as the
tables show them; its spread is the 25th to 75th percentile of the rounds' own ratios, each
round's time over the other command's in the same round. A new race is a `race` line in
bench/run, a section below, and its rows in GOALS.
"""
import datetime
import json
import os
import platform
import re
import statistics
import subprocess
import sys

BUILD = sys.argv[1]
DATA = f"{BUILD}/data"
X = f"{BUILD}/bench"


def read(name):
    path = f"{DATA}/{name}"
    return open(path, encoding="utf-8").read() if os.path.exists(path) else None


def pct(values, q):
    return sorted(values)[int(q * (len(values) - 1))]


def ms(value):
    return f"{value:.3f}"


def how(ratio):
    """A ratio of times in words, from its three decimals as the tables show them."""
    shown = round(ratio, 3)
    if shown == 1:
        return "as fast as"
    return f"{abs(shown - 1) * 100:.1f} % {'slower' if shown > 1 else 'faster'} than"


def load(name):
    return dict(line.split("\t") for line in read("load.tsv").split("\n") if line)[name]


class Race:
    def __init__(self, name):
        lines = read(f"{name}.tsv").split("\n")
        self.name, self.names = name, lines[0].split("\t")
        rounds = [[float(v) for v in line.split("\t")] for line in lines[1:] if line]
        self.times = {n: [r[i] for r in rounds] for i, n in enumerate(self.names)}

    def __contains__(self, name):
        return name in self.times

    def median(self, name):
        """Rounded as the tables show it, so that every figure made of it agrees with them."""
        return round(statistics.median(self.times[name]), 3)

    def spread(self, name):
        return pct(self.times[name], 0.25), pct(self.times[name], 0.75)

    def ratio(self, name, against):
        """The ratio of the medians, and the 25th and 75th percentile of the rounds' own ratios."""
        r = [a / b for a, b in zip(self.times[name], self.times[against])]
        return self.median(name) / self.median(against), pct(r, 0.25), pct(r, 0.75)

    def file(self):
        return f"`{DATA}/{self.name}.tsv`, {len(self.times[self.names[0]])} rounds"


overhead, scale, big, limits, judge, cases = (Race(name) for name in ("overhead", "scale", "big", "limits", "judge",
                                                                      "cases"))
CORES = os.cpu_count()


def table(header, rows):
    aligns = ["---" if h.startswith("<") else "---:" for h in header]
    lines = ["| " + " | ".join(h.lstrip("<") for h in header) + " |", "|" + "|".join(aligns) + "|"]
    return "\n".join(lines + ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]) + "\n"


def ratio_cell(race, name, against):
    r, lo, hi = race.ratio(name, against)
    return f"{r:.3f} ({lo:.3f}-{hi:.3f})"


# Figures and goals ----------------------------------------------------------------------
# A figure is a function of the limit it is held to: (its value, its text, and what the run
# says of why, should the value be over the limit).

def paired(race, name, against):
    def figure(limit):
        r, lo, _ = race.ratio(name, against)
        if lo <= limit:
            why = (f"a quarter of the rounds or more came in at {limit} or under (25th percentile {lo:.3f}): "
                   f"the rest is the spread of the run, under a load average of {load(race.name)} on {CORES} cores")
        else:
            why = f"three rounds in four were above it (25th percentile {lo:.3f}): a cost of pimbrel's own"
        return r, f"ratio {r:.3f}", why
    return figure


SIZES = [1000, 10000, 100000]


def per_argument(who):
    """ns per argument above the run without arguments."""
    return [round((scale.median(f"{who}@{n}") - scale.median(f"{who}@0")) * 1e6 / n) for n in SIZES]


def flat(limit):
    mine, bare = per_argument("pimbrel"), per_argument("bare")
    value = max(mine) / min(mine) if min(mine) > 0 else float("inf")
    lo, hi = scale.spread("pimbrel@0")
    added = scale.median(f"pimbrel@{SIZES[0]}") - scale.median("pimbrel@0")
    if added < hi - lo:
        why = (f"{SIZES[0]:,} arguments add {ms(added)} ms to a run, less than runs without arguments vary by "
               f"(25th-75th percentile {ms(hi - lo)} ms): the figure per argument there is that variation")
    elif min(bare) <= 0 or max(bare) / min(bare) > limit:
        why = (f"the bare spawner's time per argument varies as much ({', '.join(map(str, bare))} ns): it is the "
               "kernel's passing of the arguments on, which pimbrel pays as the bare spawner does")
    else:
        why = (f"the bare spawner's time per argument stays within it ({', '.join(map(str, bare))} ns), so the "
               "growth is pimbrel's own")
    return value, f"ns/argument {', '.join(map(str, mine))}: {value:.2f} times", why


def accuracy_rows():
    rows = {}
    for line in read("accuracy.txt").split("\n"):
        if line:
            sleep, lived, printed, tlived, telapsed = line.split()
            rows.setdefault(int(sleep), []).append(
                (float(lived) * 1e3, (float(printed) - float(lived)) * 1e3, (float(telapsed) - float(tlived)) * 1e3))
    return rows


ACCURACY = accuracy_rows()


def accuracy(kind):
    def figure(limit):
        values = {"median": [statistics.median(d for _, d, _ in runs) for runs in ACCURACY.values()],
                  "9 runs in 10": [pct([abs(d) for _, d, _ in runs], 0.9) for runs in ACCURACY.values()],
                  "every run": [max(abs(d) for _, d, _ in runs) for runs in ACCURACY.values()]}[kind]
        value = max(values, key=abs)
        return abs(value), f"{ms(value)} ms", "the system's share of the run, which section 5 tells"
    return figure


# What the run is held to: the goal, its figure, the most that figure may be.
GOALS = [
    ("start-up within 5 % of the bare spawner", paired(overhead, "pimbrel", "bare"), 1.05),
    ("the same, against a bare spawner linked as pimbrel is (static PIE)",
     paired(overhead, "pimbrel", "bare static-pie"), 1.05),
    ("ahead of GNU time (ratio to it at most 1)", paired(overhead, "pimbrel", "GNU time"), 1.0),
    *[(f"with {n:,} arguments: at most 1.2 times the bare spawner", paired(scale, f"pimbrel@{n}", f"bare@{n}"), 1.2)
      for n in SIZES],
    ("time per argument flat from 1,000 to 100,000 arguments (largest at most 1.25 times the smallest)", flat, 1.25),
    ("with one of 10 bytes: at most 1.03 times the bare spawner linked as pimbrel is",
     paired(big, "pimbrel@1x10", "bare@1x10"), 1.03),
    ("with one of 100 KiB: at most 1.15 times the same", paired(big, "pimbrel@1x102400", "bare@1x102400"), 1.15),
    ("with ten of 100 KiB: at most 1.30 times the same", paired(big, "pimbrel@10x102400", "bare@10x102400"), 1.30),
    ("with 100,000 of 10 bytes: at most 1.10 times the same",
     paired(big, "pimbrel@100000x10", "bare@100000x10"), 1.10),
    *([("a run without limits costs what it cost before there were any (within 3 %)",
        paired(limits, "pimbrel", "before limits"), 1.03)] if "before limits" in limits else []),
    ("judging 10,000,000 lines with --expect: at most 1.10 times the same output through pimbrel and a pipe to cat",
     paired(judge, "judged", "piped"), 1.10),
    ("the same: faster than a user judging by hand, into a file and then diff (ratio at most 1)",
     paired(judge, "judged", "diff"), 1.0),
    ("50 cases with --tests: at most 1.10 times 50 runs of pimbrel", paired(cases, "tests", "runs"), 1.10),
    ("run time within 2 ms of the child's lifetime, typically (the largest median of the sleeps)",
     accuracy("median"), 2.0),
    ("the same, 9 runs in 10", accuracy("9 runs in 10"), 2.0),
    ("the same, every run", accuracy("every run"), 2.0),
]

# The report --------------------------------------------------------------------------------

out = []
say = out.append


def run(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout


def libraries(binary):
    """The shared libraries the loader loads for it, as ldd lists them."""
    loaded = re.findall(r"^\s*(\S+)(?: => \S+)? \(0x", run("ldd", binary), re.M)
    return " ".join(name.rsplit("/", 1)[-1] for name in loaded if "vdso" not in name) or "none (static)"


cache = dict(re.findall(r"^(\w+):\w+=(.*)$", open(f"{BUILD}/CMakeCache.txt").read(), re.M))
verdicts = [(text, *figure(limit), limit) for text, figure, limit in GOALS]
met = sum(value <= limit for _, value, _, _, limit in verdicts)
b = overhead.median("bare")

say("# Benchmarks\n")
say(f"**Is Pimbrel fast?** Against the least a launcher can do, a bare `posix_spawnp` + `waitpid` caller, "
    f"pimbrel is {how(overhead.ratio('pimbrel', 'bare')[0])} it: {ms(overhead.median('pimbrel'))} ms against "
    f"{ms(b)} ms to start and reap `/bin/true` (medians over {len(overhead.times['bare'])} interleaved rounds). "
    "Against GNU `time`, which also starts a program and reports what it cost, pimbrel is "
    f"{how(overhead.ratio('pimbrel', 'GNU time')[0])} it: {ms(overhead.median('pimbrel'))} ms against "
    f"{ms(overhead.median('GNU time'))} ms. "
    f"It met {met} of its {len(GOALS)} goals (the table at the end).\n")
cpu = re.search(r"model name\s*: (.*)", open("/proc/cpuinfo").read())
memory = int(re.search(r"MemTotal:\s*(\d+)", open("/proc/meminfo").read())[1]) / 1048576
compiler = run(cache["CMAKE_CXX_COMPILER"], "--version").split("\n")[0]
measured = datetime.datetime.fromtimestamp(os.path.getmtime(f"{DATA}/overhead.tsv"), datetime.timezone.utc)
say(f"Measured by `bash bench/run` on {measured:%Y-%m-%d %H:%M} UTC; the raw figures are in `{DATA}/`, "
    f"from which `python3 bench/report.py {BUILD}` prints this page again.\n")
say(f"- machine: {cpu[1] if cpu else platform.machine()}, {CORES} cores, {memory:.1f} GiB RAM")
say(f"- system: Debian {open('/etc/debian_version').read().strip()}, Linux {platform.release()}, "
    f"glibc {platform.libc_ver()[1]}")
say(f"- compiler: {compiler}, the project's Release build (`{cache['CMAKE_CXX_FLAGS_RELEASE']}`)")
say(f"- pimbrel under test: `{BUILD}/pimbrel`, the `bench` preset's build of the project's CMakeLists.txt "
    f"(shared libraries: {libraries(f'{BUILD}/pimbrel')}); its other links in `{X}/`, from the same objects")
say(f"- load: other work may run on this machine; the races are interleaved so that it falls on every "
    f"command alike, and medians are reported. The load average before the first race: {load('start')}.\n")

say("## 1. Overhead: starting /bin/true\n")
say(f"Wall time from the start of the command until it has been reaped ({overhead.file()}). *Ratio* is "
    "the command's median over the bare spawner's. "
    "The bare spawner (`bench/bare.cpp`) does only `posix_spawnp` + `waitpid`, linked like a C program, "
    f"to the C library alone. The load average after the race: {load('overhead')}.\n")
COMMANDS = {"bare": f"`{X}/bare /bin/true`", "pimbrel": f"`{BUILD}/pimbrel /bin/true` (as built, a static PIE)",
            "GNU time": '`/usr/bin/time -f "" /bin/true`', "bare static-pie": f"`{X}/bare-static-pie /bin/true`"}
say(table(["<command", "median ms", "25th-75th pct ms", "ratio to bare"],
          [(COMMANDS.get(n, f"`{X}/{n.replace(' ', '-')} /bin/true`"), ms(overhead.median(n)),
            "-".join(map(ms, overhead.spread(n))), f"{overhead.ratio(n, 'bare')[0]:.3f}") for n in overhead.names]))

say("### How pimbrel is linked\n")
LINKS = [("pimbrel shared", "(default)"), ("pimbrel static-libstdc++", "-static-libstdc++ -static-libgcc"),
         ("pimbrel static", "-static"), ("pimbrel", "-static-pie (pimbrel as built)")]
binary = {"pimbrel": f"{BUILD}/pimbrel", **{n: f"{X}/{n.replace(' ', '-')}" for n, _ in LINKS[:3]}}
rows = [(f"`{flags}`", os.path.getsize(binary[n]), libraries(binary[n]), ms(overhead.median(n)),
         f"{overhead.ratio(n, 'bare')[0]:.3f}") for n, flags in LINKS]
missing = read("no-libstdc++.txt").split("\n")[:-1]
rows.append(("no C++ runtime at all (linked by `gcc`)", "-", "cannot be linked (below)" if missing else "linked",
             "-", "-"))
say(table(["<link options", "size bytes", "<shared libraries loaded", "median ms", "ratio to bare"], rows))
shared = libraries(binary["pimbrel shared"]).split()
say(f"Every run pays for the shared libraries a launcher loads. Linked the default way, pimbrel loads "
    f"{', '.join(shared)}: it takes {ms(overhead.median('pimbrel shared') - b)} ms longer than the bare "
    f"spawner to start `/bin/true`, {how(overhead.ratio('pimbrel shared', 'bare')[0])} it. `-static-libstdc++ "
    "-static-libgcc` leaves only the C library, still through the dynamic loader "
    f"({how(overhead.ratio('pimbrel static-libstdc++', 'bare')[0])} the bare spawner). Linked whole, pimbrel "
    "needs no loader at all; the project builds it as a static PIE (`CMakeLists.txt`), which keeps address "
    f"randomisation, and it is {how(overhead.ratio('pimbrel', 'bare')[0])} the bare spawner. The price is "
    f"size on disk ({os.path.getsize(binary['pimbrel'])} bytes against {os.path.getsize(binary['pimbrel shared'])}; "
    "only the pages used are ever read) and a rebuild to pick up a fix in glibc; pimbrel uses no part of glibc "
    "that a static link breaks (no name services, no iconv, no dlopen).\n")
if missing:
    say(f"Without libstdc++ the link lacks: {'; '.join(f'`{m}`' for m in missing)}: `std::vector` and "
        "`std::string` (operator new, length and allocation errors) and the `try`/`catch` around the spawn. "
        "Linked statically, the little of libstdc++ that pimbrel uses is inside it, and it starts "
        f"{how(overhead.ratio('pimbrel', 'bare static-pie')[0])} a bare spawner linked the same way, which has "
        "none: removing it could gain no more than that; it would shrink the binary.\n")

hyperfine = read("hyperfine.json")
if hyperfine:
    say("Cross-check with hyperfine, not interleaved: 1,000 runs of each in turn "
        f"(`hyperfine -N --warmup 100 --runs 1000`, its JSON in `{DATA}/hyperfine.json`), so that a change "
        "of load falls on one command and not the others:\n")
    say(table(["<command", "median ms", "mean ms"], [(r["command"], ms(r["median"] * 1e3), ms(r["mean"] * 1e3))
                                                    for r in json.loads(hyperfine)["results"]]))

say("## 2. Scaling with the number of arguments\n")
say(f"The bare spawner and pimbrel with none and with 1,000, 10,000 and 100,000 generated arguments of "
    f"10 bytes each ({scale.file()}). *Ratio* is pimbrel's median over the bare spawner's with the same "
    "arguments. *ns/argument* is the median time above the same command's without arguments, divided by "
    "their number: flat when the cost grows linearly. *pimbrel's own* is pimbrel's figure less the bare "
    "spawner's: the work of composing the command line and writing it, on "
    "top of what the kernel does to pass the arguments on, which both pay twice (to start, and to spawn). "
    f"The load average after the race: {load('scale')}.\n")
mine, bare = per_argument("pimbrel"), per_argument("bare")
say(table(["arguments", "bare ms", "pimbrel ms", "ratio", "bare ns/argument", "pimbrel ns/argument",
           "pimbrel's own ns/argument"],
          [(f"{n:,}", ms(scale.median(f"bare@{n}")), ms(scale.median(f"pimbrel@{n}")),
            f"{scale.ratio(f'pimbrel@{n}', f'bare@{n}')[0]:.3f}", *((bn, pn, pn - bn) if n else ("-",) * 3))
           for n, bn, pn in zip([0] + SIZES, [0] + bare, [0] + mine)]))
say("Pimbrel composes the running line in one pass, an argument that needs no quoting copied whole, "
    "and writes it; the child gets the very arguments pimbrel was given, so nothing is split back. What "
    "its own share comes to as a ratio depends on how cheap the kernel makes the bare spawn on the machine.\n")

say("## 3. Big arguments, against a bare spawner linked as pimbrel is\n")
say(f"Pimbrel and the bare spawner linked as a static PIE (`{X}/bare-static-pie`), each starting "
    "`/bin/true` with one argument of 10 bytes, one of 100 KiB, ten of 100 KiB and 100,000 of 10 bytes "
    f"({big.file()}). *Ratio* is pimbrel's median over the bare spawner's, its *spread* the 25th to 75th "
    "percentile of the rounds' own ratios (each round's time over the other's in the same round). The load "
    f"average after the race: {load('big')}.\n")
BIG = [("1x10", "one of 10 bytes"), ("1x102400", "one of 100 KiB"), ("10x102400", "ten of 100 KiB"),
       ("100000x10", "100,000 of 10 bytes")]
say(table(["<arguments", "bytes", "bare static-pie ms", "pimbrel ms", "ratio (spread)"],
          [(what, int(w.split("x")[0]) * int(w.split("x")[1]), ms(big.median(f"bare@{w}")),
            ms(big.median(f"pimbrel@{w}")), ratio_cell(big, f"pimbrel@{w}", f"bare@{w}")) for w, what in BIG]))
say("What is left above the bare spawner with big arguments is the running line: pimbrel reads the "
    "arguments and writes them out as the line, composed a piece at a time through a buffer of 64 KiB, so "
    "that the launcher takes no memory as large as the arguments (which the system would count as the "
    "program's, as it counts what the launcher holds when it starts the program).\n")

say("## 4. What limits cost a short run\n")
before = (read("before-limits.txt") or "").strip()
say(f"Each command starts `/bin/true` ({limits.file()}): the bare spawner linked as pimbrel is, pimbrel "
    "without limits, "
    + (f"pimbrel as it was before it had limits (commit `{before}`, built the same way), " if before else "")
    + "and pimbrel with a time limit, a memory limit and both, none of which `/bin/true` comes near. "
    "Without a limit, pimbrel sets no timer and looks at nothing while the program runs: it waits for the "
    "program's end in one `ppoll`. With a limit it follows the program's whole tree: it adopts what the "
    "program leaves behind (`PR_SET_CHILD_SUBREAPER`), wakes at least every 10 ms to sum the resident memory "
    "of the tree from `/proc`, and ends what is left when the program ends. A *ratio* is the command's "
    "median over the other's, with the spread of the rounds' own ratios. The load average after the "
    f"race: {load('limits')}."
    + ("" if before else " The pimbrel from before the limits could not be built from this checkout "
       "(no git history), so the run compares nothing with it.") + "\n")
against = ["bare static-pie", "pimbrel"] + (["before limits"] if before else [])
say(table(["<command", "median ms", "ratio to the bare spawner", "ratio to pimbrel without limits"]
          + (["ratio to pimbrel before limits"] if before else []),
          [(n, ms(limits.median(n)), *(ratio_cell(limits, n, a) for a in against)) for n in limits.names]))

say("## 5. Accuracy of the run time\n")
say(f"A child (`bench/lifetime.cpp`) sleeps until a monotonic deadline and reports its own lifetime, from "
    f"the start of its `main` to its end. Compared with it: the run time that `{BUILD}/pimbrel "
    f"{X}/lifetime MS` prints (three decimals), and the elapsed time of `/usr/bin/time -f %e "
    f"{X}/lifetime MS` (two decimals). Differences are the printed figure less the child's lifetime, in ms "
    f"(`{DATA}/accuracy.txt`). The load average after the runs: {load('accuracy')}.\n")
rows = []
for sleep, runs in ACCURACY.items():
    own = [d for _, d, _ in runs]
    rows.append((f"{sleep} ms", len(runs), ms(statistics.median(life for life, _, _ in runs)), ms(statistics.median(own)),
                 ms(pct([abs(d) for d in own], 0.9)), ms(max(map(abs, own))),
                 ms(statistics.median(d for _, _, d in runs)), ms(max(abs(d) for _, _, d in runs))))
say(table(["sleep", "runs", "child lifetime ms (median)", "pimbrel - child: median", "pimbrel: 90th pct \\|diff\\|",
           "pimbrel: worst \\|diff\\|", "GNU time - child: median", "GNU time: worst \\|diff\\|"], rows))
say("Pimbrel reads its clock right before it creates the child, after the running line is out, and again "
    "as soon as it has seen the child's end; between the two it only spawns the child and waits. Its figure "
    "includes what the child's own clock cannot see: the system's starting and loading of the child before "
    f"its `main`, and its ending of the child and waking of pimbrel after it (the bare spawner took {ms(b)} ms "
    "to start and reap `/bin/true` in this run). When other work holds the cores the scheduler does that "
    "later, and a share of the runs come out further above: time the child really was still there, not an "
    "error of pimbrel's clock, and nothing in pimbrel can remove it. Printed to the millisecond, the figure "
    "is further rounded by up to 0.5 ms. GNU time prints hundredths of a second: one figure of it can be off "
    "by up to 10 ms from that alone.\n")

say("## 6. Judging\n")
say(f"A program (`bench/lines.cpp`) writes 10,000,000 lines of a number each, {os.path.getsize(BUILD + '/judge/answer'):,} "
    f"bytes ({judge.file()}): *judged* by pimbrel against an answer of the same bytes with `--expect`, "
    "pimbrel's own output (the program's, copied through) to `/dev/null`; *piped*, through pimbrel without "
    "`--expect`, its output through a pipe to `cat > /dev/null`, the movement of bytes that a terminal or an "
    "IDE's panel costs (a program writing straight to `/dev/null` pays nothing for its output, so that is no "
    "floor); and *diff*, as a user judges by hand: the program's output into a file, then `diff` with the "
    f"answer. Then 50 cases of a program that prints its input back ({cases.file()}): `--tests` on the "
    "folder, against 50 runs of pimbrel one after another. Each command is a script of `sh` (in "
    f"`{BUILD}/judge/`), so that all pay its start. The load average after the races: {load('judge')} and "
    f"{load('cases')}.\n")
judged_rss = {}
for line in (read("judge-rss.tsv") or "").split("\n"):
    if line:
        name, kib = line.split("\t")
        judged_rss.setdefault(name, []).append(int(kib))
say(table(["<command", "median ms", "ratio", "<against", "peak RSS KiB"],
          [("judged", ms(judge.median("judged")), f"{judge.ratio('judged', 'piped')[0]:.3f}", "piped",
            round(statistics.median(judged_rss["judged"])) if "judged" in judged_rss else "-"),
           ("piped", ms(judge.median("piped")), "1.000", "piped", "-"),
           ("diff", ms(judge.median("diff")), f"{judge.ratio('diff', 'piped')[0]:.3f}", "piped", "-"),
           ("tests", ms(cases.median("tests")), f"{cases.ratio('tests', 'runs')[0]:.3f}", "runs",
            round(statistics.median(judged_rss["tests"])) if "tests" in judged_rss else "-"),
           ("runs", ms(cases.median("runs")), "1.000", "runs", "-")]))
say("The peak memory is `/usr/bin/time -f %M` on the script: the most that `sh`, pimbrel or the program "
    "held, so pimbrel's own is at most that. Pimbrel reads the program's output from a pipe of 1 MiB "
    "(`F_SETPIPE_SZ`), in reads of that size, writes each piece on as it came and compares it with the "
    "answer, read 64 KiB at a time, where the two agree many bytes at once: it never holds the output or the "
    "answer whole, and the program never waits for it. `--tests` starts pimbrel once for all the cases.\n")

say("## 7. Footprint\n")
say("Peak resident set size, as `/usr/bin/time -f %M` reports it for the launcher and its child together. "
    "The child is `bench/exit0.cpp`: no C library, no loader, smaller than any launcher, so the figure is "
    f"the launcher's own. Median of 20 runs (`{DATA}/rss.tsv`).\n")
rss = {}
for line in read("rss.tsv").split("\n"):
    if line:
        name, path, kib = line.split("\t")
        rss.setdefault((name, path), []).append(int(kib))
LABELS = {"pimbrel": " (as built)", "GNU time": " (GNU time)", "exit0 alone": " alone"}
say(table(["<command", "peak RSS KiB", "size of the binary bytes"],
          [(f"`{path}`{LABELS.get(name, '')}", round(statistics.median(kib)), os.path.getsize(path))
           for (name, path), kib in rss.items()]))

say("### Pimbrel.exe (Windows, i686)\n")
objdump = read("windows-objdump.txt")
if objdump:
    exe = f"{BUILD}/windows/Pimbrel.exe"
    functions = {d: re.findall(r"^\t[0-9a-f]+\s+\d+\s+(\S+)$", block, re.M)
                 for d, block in re.findall(r"DLL Name: (\S+)\n(.*?)\n\n", objdump, re.S)}
    say(f"Built by `cmake --preset windows-x86 -B {BUILD}/windows`: `{exe}`, {os.path.getsize(exe)} bytes; "
        f"stripped, as the zip ships it, {os.path.getsize(DATA + '/Pimbrel-stripped.exe')} bytes (goal: at most "
        f"65,536). It imports from {' and '.join(functions)} alone, the compiler's runtime being linked in:\n")
    say(table(["<imported from", "<functions"], [(d, ", ".join(f)) for d, f in functions.items()]))
    say("Most of what it once weighed was not the launcher's own. `std::chrono`'s clock brought in libstdc++'s "
        "exception machinery, and with it the verbose terminate handler and its C++ demangler; `snprintf` was "
        "mingw's own `printf` with its floating-point conversion, which libstdc++'s headers switch on for every "
        "program; `swprintf` was its wide twin. The clock is read by `QueryPerformanceCounter`, the figures are "
        "formatted by msvcrt's `_vsnprintf`, and the command line is `malloc`ed rather than `new "
        "(std::nothrow)`ed, which also needs the exception machinery. Its own objects are compiled with "
        "`-fno-exceptions` (an object with a destructor would otherwise bring the unwinder back), without "
        "unwind tables, and for size (`-Os`): the judge's comparison took it past 64 KiB at `-O3`.\n")
else:
    say(f"Not built in this run: `cmake --preset windows-x86` or its build failed (`{DATA}/windows.log`).\n")

say("## Goals\n")
say("Each verdict says, for a goal the run missed, what the run tells of why.\n")
say(table(["<goal", "<figure", "<verdict"],
          [(text, shown, "met" if value <= limit else f"not met: {why}")
           for text, value, shown, why, limit in verdicts]))
print("\n".join(out), end="")
