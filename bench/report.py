"""Runs Kavo's benchmarks and prints one table of figures, each a ratio against a baseline run in
the same command. Start-up and memory: Kavo against three programs started in turn with it under
Wine: a bare popup, a program with Kavo's manifest and controls, that program also decoding
and drawing Kavo's picture, and that one taking drops too. Size against the bare program; the address functions against one
memcmp and one append, with no target. Each target is said kept or missed."""

import json
import os
import pathlib
import platform
import statistics
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "desktop"))
from wine_desktop import Desktop  # noqa: E402

WIN = ROOT / "build" / "windows"
PREFIX = os.environ.get("KAVO_WINEPREFIX") or str(WIN / "wineprefix")
PROGRAMS = {"kavo": pathlib.Path(os.environ.get("KAVO_BENCH_EXE", WIN / "app" / "kavo.exe")),
            "bare": WIN / "bench" / "kavo_bench_bare.exe",
            "controls": WIN / "bench" / "kavo_bench_controls.exe",
            "picture": WIN / "bench" / "kavo_bench_picture.exe",
            "drop": WIN / "bench" / "kavo_bench_drop.exe"}
# Each figure's target is against the least a window like Kavo's can cost in it: start-up against
# the picture (Kavo registers its drop target after the first paint, the drop baseline before it),
# private bytes against the drop baseline (registering costs memory whenever it is done).
TARGET_BASES = ("picture", "drop")
LAUNCHER = WIN / "bench" / "kavo_bench_launcher.exe"
LINKS_BENCH = ROOT / "build" / "bench" / "bench" / "kavo_links_bench"
RUNS = int(os.environ.get("KAVO_BENCH_RUNS", "30"))


def start_up_runs():
    # A user's Kavo may run in the prefix: the desktop ends the launcher it started alone, which
    # ends each program it starts.
    desktop = Desktop(PREFIX)
    exes = [str(p) for p in PROGRAMS.values()]
    try:
        # Warm Wine up once, so that its first start is not counted against any program.
        desktop.start(LAUNCHER, "1", *exes, window=False).wait(300)
        out = desktop.start(LAUNCHER, str(RUNS), *exes, window=False).wait(3000)
        rows = [line.split() for line in out.splitlines() if line.startswith("run ")]
    finally:
        desktop.close()
    names = dict(zip(exes, PROGRAMS))  # the launcher names each run's program as it was given
    runs = {k: [] for k in PROGRAMS}
    for _, exe, ms, private, _ in rows:
        runs[names[exe]].append((float(ms), int(private) / 1024))
    return runs


def links_runs():
    out = subprocess.run([LINKS_BENCH, "--benchmark_format=json", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True, check=True).stdout
    return {b["run_name"]: b["real_time"] for b in json.loads(out)["benchmarks"]
            if b.get("aggregate_name") == "median"}


def target(text, kept):
    return f"{text} {'kept' if kept else 'MISSED'}"


def main():
    runs = start_up_runs()
    stat = {k: [(min(r[i] for r in v), statistics.median(r[i] for r in v)) for i in range(2)]
            for k, v in runs.items()}
    rows = []
    for i, figure in enumerate(("start-up to first paint, ms", "private bytes, KiB")):
        for base in ("bare", "controls", "picture", "drop"):
            for j, which in enumerate(("min", "median")):
                kavo, baseline = stat["kavo"][i][j], stat[base][i][j]
                rows.append((f"{figure} ({which}) vs {base}", kavo, baseline,
                             target("<= 1.05", kavo / baseline <= 1.05)
                             if (base, which) == (TARGET_BASES[i], "median") else ""))
    size = PROGRAMS["kavo"].stat().st_size / 1024
    rows.append(("executable size, KiB", size, PROGRAMS["bare"].stat().st_size / 1024,
                 target("<= 128 KiB", size <= 128)))
    links = links_runs()
    for case in ("accepted", "rejected"):  # no target: one string built against a reused buffer
        rows.append((f"address functions, {case}, ns/call", links[f"AddressFunctions/{case}"],
                     links[f"Baseline/{case}"], ""))
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), platform.machine())
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    print(f"Machine: {cpu}, {os.cpu_count()} cores, {platform.platform()}; {RUNS} runs of each "
          f"program in turn under {wine}")
    print()
    print(f"| {'figure':48} | {'Kavo':>8} | {'baseline':>8} | {'ratio':>6} | {'target':>17} |")
    print(f"|{'-' * 50}|{'-' * 10}|{'-' * 10}|{'-' * 8}|{'-' * 19}|")
    for name, kavo, base, goal in rows:
        print(f"| {name:48} | {kavo:8.1f} | {base:8.1f} | {kavo / base:6.2f} | {goal:>17} |")


if __name__ == "__main__":
    main()
