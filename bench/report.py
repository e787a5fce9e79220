"""Runs Kavo's benchmarks and prints one table of figures, each a ratio against a baseline run in
the same command: start-up and memory against a bare Win32 window (both under Wine, alternating),
size against the bare program, and the address functions against one memcmp and one append."""

import json
import os
import pathlib
import platform
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
os.environ.setdefault("WINEPREFIX", str(ROOT / "build" / "windows" / "wineprefix"))
from kavo_e2e import WINE_RUN, Desktop  # noqa: E402

WIN = ROOT / "build" / "windows"
KAVO, BARE = WIN / "app" / "kavo.exe", WIN / "bench" / "kavo_bench_bare.exe"
LAUNCHER = WIN / "bench" / "kavo_bench_launcher.exe"
LINKS_BENCH = ROOT / "build" / "bench" / "bench" / "kavo_links_bench"
RUNS = int(os.environ.get("KAVO_BENCH_RUNS", "20"))


def start_up_runs():
    desktop = Desktop()
    try:
        with tempfile.TemporaryFile() as out:
            # Warm Wine up once, so that its first start is not counted against either program.
            subprocess.run([WINE_RUN, LAUNCHER, "1", KAVO, BARE], env=desktop.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
            subprocess.run([WINE_RUN, LAUNCHER, str(RUNS), KAVO, BARE], env=desktop.env, stdout=out,
                           stderr=subprocess.DEVNULL, timeout=1200, check=True)
            out.seek(0)
            rows = [line.split() for line in out.read().decode().splitlines() if line.startswith("run ")]
    finally:
        desktop.close()
    runs = {"kavo": [], "bare": []}
    for _, exe, ms, private, ws in rows:
        runs["kavo" if exe.lower().endswith("kavo.exe") else "bare"].append(
            (float(ms), int(private), int(ws)))
    return runs


def links_runs():
    out = subprocess.run([LINKS_BENCH, "--benchmark_format=json", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True, check=True).stdout
    return {b["run_name"]: b["real_time"] for b in json.loads(out)["benchmarks"]
            if b.get("aggregate_name") == "median"}


def main():
    runs = start_up_runs()
    median = {k: [statistics.median(r[i] for r in v) for i in range(3)] for k, v in runs.items()}
    links = links_runs()
    rows = [
        ("start-up to first paint, ms (median)", median["kavo"][0], median["bare"][0], "1.10"),
        ("private bytes, KiB (median)", median["kavo"][1] / 1024, median["bare"][1] / 1024, "1.25"),
        ("working set, KiB (median)", median["kavo"][2] / 1024, median["bare"][2] / 1024, ""),
        ("executable size, KiB", KAVO.stat().st_size / 1024, BARE.stat().st_size / 1024, "< 256 KiB"),
    ]
    for case in ("accepted", "rejected"):
        rows.append((f"address functions, {case}, ns/call", links[f"AddressFunctions/{case}"],
                     links[f"Baseline/{case}"], "3"))
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), platform.machine())
    print(f"Machine: {cpu}, {os.cpu_count()} cores, "
          f"{platform.platform()}; {RUNS} alternating runs each under "
          f"{subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()}")
    print()
    print(f"| {'figure':42} | {'Kavo':>10} | {'baseline':>10} | {'ratio':>6} | {'target':>9} |")
    print(f"|{'-' * 44}|{'-' * 12}|{'-' * 12}|{'-' * 8}|{'-' * 11}|")
    for name, kavo, base, target in rows:
        print(f"| {name:42} | {kavo:10.1f} | {base:10.1f} | {kavo / base:6.2f} | {target:>9} |")


if __name__ == "__main__":
    main()
