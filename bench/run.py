#!/usr/bin/env python3
"""Benchmarks basrt against Lua 5.4 and CPython.

Every kernel is written three times beside this script: <name>.basm for
basrt (assembled with basrt-asm into a temporary directory at run time),
<name>.lua and <name>.py with the same algorithm. Each program prints one
result line, and all three must print the same one.

For each kernel the engines run in turn, several times, in an order that
rotates from round to round; the table shows the median wall-clock time of
each engine and the ratios basrt/Lua and basrt/CPython. Two more figures
follow: the start-up time of a console program that prints one line (median
of many runs), and the peak memory of a program that holds ten million
doubles, set against 80 MB of data plus the engine's own baseline (the peak
of the one-line program).

The exit status is 0 when every program ran on every engine and the results
agree, 1 when a program failed or the results differ (the table is printed
all the same), 2 when the build or an engine is missing.

Usage: bench/run.py [--build DIR] [--runs N] [--startup-runs N] [--only NAMES]
"""

import argparse
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BENCH_DIR = Path(__file__).resolve().parent
REPO_DIR = BENCH_DIR.parent

# The timed kernels, in table order: name and a short description.
KERNELS = [
    ("numeric_loop", "10M turns of x = x + (i * 2) mod 7"),
    ("fib", "recursive fib(30)"),
    ("sieve", "sieve to 2,000,000 on bytes"),
    ("string_build", "50,000 one-byte appends"),
    ("substring", "1M substring + length calls"),
    ("matmul", "120 x 120 matrix product"),
    ("collatz", "locals, condition-tested loop"),
    ("string_compare", "2M string comparisons"),
    ("string_function", "1M string-function calls"),
]
STARTUP_PROGRAM = "hello"
MEMORY_PROGRAM = "hold_array"
MEMORY_DATA_BYTES = 10_000_000 * 8
MB = 1_000_000

# Targets for the report; a miss is shown, it does not fail the run.
TARGET_RATIO_LUA = 2.0
TARGET_RATIO_CPYTHON = 0.33
TARGET_STARTUP_MS = 5.0
TARGET_MEMORY_FACTOR = 1.2


class Engine:
    """One language implementation: how to run a kernel with it."""

    def __init__(self, key, label, command, suffix):
        self.key = key
        self.label = label
        self.command = command  # list of words before the program's path
        self.suffix = suffix

    def argv(self, program):
        return self.command + [str(program)]


class Outcome:
    """One run of a program: its time, its result line or why it failed."""

    def __init__(self, seconds=0.0, result="", failure=None, max_rss_bytes=0):
        self.seconds = seconds
        self.result = result
        self.failure = failure
        self.max_rss_bytes = max_rss_bytes


def result_line(stdout):
    """The program's output with line ends and trailing blanks removed."""
    text = stdout.decode("latin-1").replace("\r\n", "\n")
    return text.strip()


def failure_reason(returncode, stderr):
    """The last line a failed program wrote to standard error, or its status."""
    lines = [line for line in stderr.decode("latin-1").splitlines() if line.strip()]
    if lines:
        return lines[-1].strip()
    if returncode < 0:
        try:
            return f"killed by {signal.Signals(-returncode).name}"
        except ValueError:
            return f"killed by signal {-returncode}"
    return f"exit status {returncode}"


def checked(outcome):
    """A run that ends normally without printing anything has failed too."""
    if not outcome.failure and not outcome.result:
        outcome.failure = "printed nothing"
    return outcome


def run_timed(argv, timeout):
    """Runs a program once and measures its wall-clock time."""
    start = time.perf_counter()
    try:
        proc = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        return Outcome(failure=f"timed out after {timeout:g} s")
    except OSError as error:
        return Outcome(failure=str(error))
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        return Outcome(seconds, failure=failure_reason(proc.returncode, proc.stderr))
    return Outcome(seconds, result_line(proc.stdout))


def run_measuring_memory(argv, timeout, scratch, helper):
    """Runs a program once and finds its peak resident set size.

    Linux counts the resident size of the process that starts a program into
    the program's peak, so a program started straight from this script never
    shows a peak below the script's own. The small helper built with the
    engine (bench/peak_memory.cpp) starts the program instead and reports the
    peak of that program alone. Without the helper, wait4 on the program
    gives a figure whose floor is this script's size.
    """
    out_path = scratch / "memory.out"
    err_path = scratch / "memory.err"
    report_path = scratch / "memory.report"
    if helper:
        report_path.unlink(missing_ok=True)
        argv = [str(helper), str(report_path)] + argv
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        try:
            proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    start_new_session=True)
        except OSError as error:
            return Outcome(failure=str(error))
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid == proc.pid:
                break
            if time.monotonic() > deadline:
                # The helper's child runs in the same new session: end both.
                os.killpg(proc.pid, signal.SIGKILL)
                os.wait4(proc.pid, 0)
                proc.returncode = -9
                return Outcome(failure=f"timed out after {timeout:g} s")
            time.sleep(0.002)
        proc.returncode = os.waitstatus_to_exitcode(status)
    max_rss_kib = usage.ru_maxrss
    if helper:
        try:
            max_rss_kib = int(report_path.read_text().split()[0])
        except (OSError, ValueError, IndexError):
            max_rss_kib = 0
    stdout = out_path.read_bytes()
    stderr = err_path.read_bytes()
    if proc.returncode != 0:
        return Outcome(failure=failure_reason(proc.returncode, stderr))
    if max_rss_kib <= 0:
        return Outcome(failure="no peak memory reported")
    # Linux reports the peak resident set size in kibibytes.
    return checked(Outcome(result=result_line(stdout), max_rss_bytes=max_rss_kib * 1024))


class Program:
    """A program of bench/ as each engine runs it."""

    def __init__(self, name, description=""):
        self.name = name
        self.description = description
        self.paths = {}  # engine key -> path of the program for that engine
        self.problem = None  # why basrt cannot run it (assembly failed)


def prepare(program, engines, asm, scratch):
    """Finds the sources and assembles the basrt one into the scratch directory."""
    for engine in engines:
        source = BENCH_DIR / f"{program.name}{engine.suffix}"
        if not source.is_file():
            raise SystemExit(f"bench: missing {source}")
        program.paths[engine.key] = source
    image = scratch / f"{program.name}.bin"
    proc = subprocess.run([str(asm), "asm", str(program.paths["basrt"]), "-o", str(image)],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if proc.returncode != 0:
        program.problem = "assembly failed: " + failure_reason(proc.returncode, proc.stderr)
    program.paths["basrt"] = image


class Measurement:
    """The timings and results of one program on every engine."""

    def __init__(self, program):
        self.program = program
        self.times = {}  # engine key -> list of seconds
        self.results = {}  # engine key -> result line
        self.failures = {}  # engine key -> reason

    def median(self, key):
        times = self.times.get(key)
        return statistics.median(times) if times else None

    def agreed(self):
        return len(set(self.results.values())) <= 1

    def complete(self, engines):
        return not self.failures and len(self.results) == len(engines) and self.agreed()


def measure(program, engines, runs, timeout, progress=lambda: None, floor=None):
    """Runs a program `runs` times on every engine, rotating the order.

    One untimed run per engine comes first: it checks the result and brings
    the files into the page cache. An engine that fails is left out of the
    remaining rounds of this program. `floor`, when given, is a command that
    does nothing; it joins the rotation under the key "floor" to show what
    starting any process costs on this machine.
    """
    m = Measurement(program)
    commands = []
    for engine in engines:
        if engine.key == "basrt" and program.problem:
            m.failures[engine.key] = program.problem
        else:
            commands.append((engine.key, engine.argv(program.paths[engine.key])))
    if floor:
        commands.append(("floor", floor))

    def run(key, argv):
        outcome = run_timed(argv, timeout)
        return outcome if key == "floor" else checked(outcome)

    active = []
    for key, argv in commands:
        outcome = run(key, argv)
        if outcome.failure:
            m.failures[key] = outcome.failure
            continue
        if key != "floor":
            m.results[key] = outcome.result
        m.times[key] = []
        active.append((key, argv))
    for round_number in range(runs):
        shift = round_number % len(active) if active else 0
        for key, argv in active[shift:] + active[:shift]:
            if key in m.failures:
                continue
            outcome = run(key, argv)
            if outcome.failure:
                m.failures[key] = outcome.failure
            elif key in m.results and outcome.result != m.results[key]:
                m.failures[key] = f"printed {outcome.result!r} after {m.results[key]!r}"
            else:
                m.times[key].append(outcome.seconds)
        progress()
    for key in m.failures:
        m.times.pop(key, None)
        m.results.pop(key, None)
    return m


def ratio(numerator, denominator):
    if numerator is None or denominator is None or denominator <= 0:
        return None
    return numerator / denominator


def fmt(value, pattern, missing="-"):
    return missing if value is None else format(value, pattern)


def print_table(rows, headers, aligns):
    widths = [max(len(headers[i]), *(len(row[i]) for row in rows)) if rows else len(headers[i])
              for i in range(len(headers))]

    def line(cells):
        parts = []
        for cell, width, align in zip(cells, widths, aligns):
            parts.append(cell.rjust(width) if align == ">" else cell.ljust(width))
        return "  ".join(parts).rstrip()

    print(line(headers))
    print(line(["-" * w for w in widths]))
    for row in rows:
        print(line(row))


def kernel_verdict(lua_ratio, cpython_ratio):
    misses = []
    if lua_ratio is not None and lua_ratio > TARGET_RATIO_LUA:
        misses.append("Lua")
    if cpython_ratio is not None and cpython_ratio > TARGET_RATIO_CPYTHON:
        misses.append("CPython")
    if lua_ratio is None and cpython_ratio is None:
        return "-"
    return "ok" if not misses else "over vs " + " and ".join(misses)


def report_kernels(measurements, engines):
    keys = [e.key for e in engines]
    headers = ["kernel", "what", "result"] + [f"{e.label} s" for e in engines]
    headers += ["basrt/Lua", "basrt/CPython", "targets"]
    aligns = ["<", "<", ">"] + [">"] * len(engines) + [">", ">", "<"]
    rows = []
    for m in measurements:
        medians = {k: m.median(k) for k in keys}
        lua_ratio = ratio(medians.get("basrt"), medians.get("lua"))
        cpython_ratio = ratio(medians.get("basrt"), medians.get("cpython"))
        if not m.agreed():
            result = "MISMATCH"
        elif m.results:
            result = next(iter(m.results.values()))
        else:
            result = "-"
        cells = [m.program.name, m.program.description, result]
        cells += [fmt(medians[k], ".3f", "failed" if k in m.failures else "-") for k in keys]
        cells += [fmt(lua_ratio, ".2f"), fmt(cpython_ratio, ".2f"),
                  kernel_verdict(lua_ratio, cpython_ratio)]
        rows.append(cells)
    print_table(rows, headers, aligns)
    print(f"(targets: basrt/Lua <= {TARGET_RATIO_LUA:.2f} and "
          f"basrt/CPython <= {TARGET_RATIO_CPYTHON:.2f})")


def report_problems(measurements, engines):
    labels = {e.key: e.label for e in engines}
    lines = []
    for m in measurements:
        for key, reason in m.failures.items():
            lines.append(f"  {m.program.name} on {labels[key]}: {reason}")
        if not m.agreed():
            shown = ", ".join(f"{labels[k]} {v!r}" for k, v in m.results.items())
            lines.append(f"  {m.program.name}: results differ: {shown}")
    if lines:
        print()
        print("Could not compare:")
        print("\n".join(lines))


def report_startup(m, engines, runs):
    print()
    print(f"Start-up: a console program that prints one line, median of {runs} runs")
    floor = m.median("floor")
    parts = []
    for engine in engines:
        median = m.median(engine.key)
        if median is None:
            reason = m.failures.get(engine.key, "not run")
            parts.append(f"  {engine.label:8} failed: {reason}")
        else:
            line = f"  {engine.label:8} {median * 1000:7.2f} ms"
            if floor is not None:
                line += f"  ({(median - floor) * 1000:.2f} ms above the floor)"
            parts.append(line)
    print("\n".join(parts))
    if floor is not None:
        print(f"  {'(floor)':8} {floor * 1000:7.2f} ms  starting a process that does nothing "
              f"(true), for scale")
    basrt = m.median("basrt")
    if basrt is not None:
        verdict = "ok" if basrt * 1000 < TARGET_STARTUP_MS else "over"
        print(f"  target: basrt under {TARGET_STARTUP_MS:g} ms: {verdict}")


def measure_memory(memory_program, startup_program, engines, timeout, scratch, helper):
    """Peak memory of the array program and of the one-line program per engine."""
    figures = {}
    for engine in engines:
        peaks = {}
        for program in (startup_program, memory_program):
            if engine.key == "basrt" and program.problem:
                peaks[program.name] = Outcome(failure=program.problem)
                continue
            peaks[program.name] = run_measuring_memory(
                engine.argv(program.paths[engine.key]), timeout, scratch, helper)
        figures[engine.key] = peaks
    return figures


def report_memory(figures, engines, memory_program, startup_program):
    """The peak of the array program beside each engine's baseline; True when all ran."""
    print()
    print(f"Peak memory: {memory_program.name} holds ten million doubles "
          f"({MEMORY_DATA_BYTES / MB:.0f} MB of data); the baseline is the peak of "
          f"{startup_program.name}; 1 MB = 10^6 bytes")
    headers = ["engine", "peak MB", "baseline MB", "peak - data - baseline", "target"]
    aligns = ["<", ">", ">", ">", "<"]
    rows = []
    ok = True
    results = set()
    for engine in engines:
        held = figures[engine.key][memory_program.name]
        base = figures[engine.key][startup_program.name]
        if held.failure or base.failure:
            rows.append([engine.label, "failed", "", "", held.failure or base.failure])
            ok = False
            continue
        results.add(held.result)
        extra = held.max_rss_bytes - base.max_rss_bytes - MEMORY_DATA_BYTES
        target = ""
        if engine.key == "basrt":
            limit = TARGET_MEMORY_FACTOR * MEMORY_DATA_BYTES + base.max_rss_bytes
            verdict = "ok" if held.max_rss_bytes < limit else "over"
            target = (f"under {TARGET_MEMORY_FACTOR:g} x {MEMORY_DATA_BYTES / MB:.0f} MB + "
                      f"baseline = {limit / MB:.1f} MB: {verdict}")
        rows.append([engine.label, f"{held.max_rss_bytes / MB:.1f}",
                     f"{base.max_rss_bytes / MB:.1f}", f"{extra / MB:+.1f}", target])
    print_table(rows, headers, aligns)
    if len(results) > 1:
        print(f"  results differ: {', '.join(sorted(results))}")
        ok = False
    return ok


def engine_version(argv):
    try:
        proc = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=10, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return "unknown"
    return proc.stdout.decode("latin-1").strip().splitlines()[0] if proc.stdout else "unknown"


def build_type(build_dir):
    cache = build_dir / "CMakeCache.txt"
    if cache.is_file():
        for line in cache.read_text(errors="replace").splitlines():
            if line.startswith("CMAKE_BUILD_TYPE:"):
                return line.split("=", 1)[1] or "none"
    return "unknown"


def find_build(arg):
    build = Path(arg)
    if not build.is_absolute() and not (build / "basrt").exists():
        build = REPO_DIR / build
    return build.resolve()


def cpu_name():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def default_python():
    """The system's CPython: the build a user of the distribution has.

    A python3 found first on PATH may be a wrapper script or a local build
    made without the distribution's optimisations; either would distort the
    comparison, so the distribution's interpreter comes first.
    """
    system = Path("/usr/bin/python3")
    if os.access(system, os.X_OK):
        return str(system)
    return sys.executable


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Benchmarks basrt against Lua 5.4 and CPython.")
    parser.add_argument("--build", default="build",
                        help="build directory holding basrt and basrt-asm (default: build)")
    parser.add_argument("--runs", type=int, default=5,
                        help="timed runs per engine and kernel (default: 5)")
    parser.add_argument("--startup-runs", type=int, default=200,
                        help="runs of the start-up program per engine (default: 200)")
    parser.add_argument("--only", default="",
                        help="comma-separated kernel names; 'startup' and 'memory' "
                             "select those measurements")
    parser.add_argument("--lua", default="lua5.4", help="the Lua 5.4 interpreter")
    parser.add_argument("--python", default=default_python(),
                        help="the CPython interpreter (default: the system's /usr/bin/python3, "
                             "else the one running this script)")
    parser.add_argument("--timeout", type=float, default=300.0,
                        help="seconds after which one run counts as failed (default: 300)")
    args = parser.parse_args(argv)
    if args.runs < 1 or args.startup_runs < 1:
        parser.error("the run counts must be at least 1")
    return args


def main(argv):
    args = parse_args(argv)
    build = find_build(args.build)
    basrt = build / "basrt"
    asm = build / "basrt-asm"
    for tool in (basrt, asm):
        if not os.access(tool, os.X_OK):
            print(f"bench: {tool} not found; build first (make build)", file=sys.stderr)
            return 2
    lua = shutil.which(args.lua)
    python = shutil.which(args.python)
    for name, found in ((args.lua, lua), (args.python, python)):
        if not found:
            print(f"bench: {name} not found; scripts/install-deps installs the peers",
                  file=sys.stderr)
            return 2

    engines = [
        Engine("basrt", "basrt", [str(basrt)], ".basm"),
        Engine("lua", "Lua", [lua], ".lua"),
        Engine("cpython", "CPython", [python], ".py"),
    ]

    names = [n.strip() for n in args.only.split(",") if n.strip()]
    known = {name for name, _ in KERNELS} | {"startup", "memory"}
    unknown = [n for n in names if n not in known]
    if unknown:
        print(f"bench: unknown kernel {', '.join(unknown)}; known: {', '.join(sorted(known))}",
              file=sys.stderr)
        return 2
    selected = [(n, d) for n, d in KERNELS if not names or n in names]
    want_startup = not names or "startup" in names
    want_memory = not names or "memory" in names

    kind = build_type(build)
    python_version = engine_version([python, "-c",
                                     "import platform; print(platform.python_implementation(),"
                                     " platform.python_version())"])
    print(f"basrt benchmarks: {engine_version([str(basrt), '--version'])} "
          f"from {build} ({kind} build)")
    print(f"peers: {' '.join(engine_version([lua, '-v']).split()[:2])} ({lua}), "
          f"{python_version} ({python})")
    print(f"machine: {cpu_name()}, {os.cpu_count()} cores, load average "
          f"{os.getloadavg()[0]:.2f} at the start; "
          f"median of {args.runs} timed runs per engine, engines alternating")
    if kind not in ("Release", "RelWithDebInfo"):
        print(f"warning: a {kind} build is not what the figures are meant for")
    print()

    ok = True
    with tempfile.TemporaryDirectory(prefix="basrt-bench-") as scratch_name:
        scratch = Path(scratch_name)
        programs = [Program(name, description) for name, description in selected]
        startup_program = Program(STARTUP_PROGRAM)
        memory_program = Program(MEMORY_PROGRAM)
        for program in programs + [startup_program, memory_program]:
            prepare(program, engines, asm, scratch)

        measurements = []
        for program in programs:
            print(f"running {program.name} ", end="", flush=True, file=sys.stderr)
            measurements.append(measure(program, engines, args.runs, args.timeout,
                                        lambda: print(".", end="", flush=True, file=sys.stderr)))
            print(file=sys.stderr)
        if measurements:
            report_kernels(measurements, engines)
            report_problems(measurements, engines)
            ok = all(m.complete(engines) for m in measurements)

        if want_startup:
            print("running start-up", file=sys.stderr)
            floor = shutil.which("true")
            startup = measure(startup_program, engines, args.startup_runs, args.timeout,
                              floor=[floor] if floor else None)
            report_startup(startup, engines, args.startup_runs)
            ok = ok and startup.complete(engines)

        if want_memory:
            print("running memory", file=sys.stderr)
            helper = build / "bench" / "peak-memory"
            if not os.access(helper, os.X_OK):
                print(f"note: {helper} is missing; the peaks below include this "
                      f"script's own size as a floor")
                helper = None
            figures = measure_memory(memory_program, startup_program, engines, args.timeout,
                                     scratch, helper)
            ok = report_memory(figures, engines, memory_program, startup_program) and ok

    if not ok:
        print()
        print("Some programs could not be compared (see above).")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
