#!/usr/bin/env bash
# Sets up what is missing, builds, and prints Kavo's benchmark table (figures, not pass or fail).
set -euo pipefail
# Another build to measure, and the prefix, named from the caller's folder (the prefix as given:
# wine-run must see a symlink for what it is).
[ -z "${KAVO_BENCH_EXE:-}" ] || export KAVO_BENCH_EXE=$(realpath "$KAVO_BENCH_EXE")
[[ ${KAVO_WINEPREFIX:-/} == /* ]] || export KAVO_WINEPREFIX=$PWD/$KAVO_WINEPREFIX
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target kavo_links_bench >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target kavo kavo_bench_bare kavo_bench_launcher kavo_bench_controls kavo_bench_picture >/dev/null
python3 bench/report.py
