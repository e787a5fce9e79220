#!/usr/bin/env bash
# Sets up what is missing, builds, and prints Kavo's benchmark table (figures, not pass or fail).
set -euo pipefail
[ $# -eq 0 ] || { echo "usage: $0 takes no arguments (docs/design.md says what it reads instead)" >&2; exit 2; }
# Another build to measure, and the prefix, named from the caller's folder (the prefix as given:
# wine-run must see a symlink for what it is).
[ -z "${KAVO_BENCH_EXE:-}" ] || export KAVO_BENCH_EXE=$(realpath "$KAVO_BENCH_EXE")
[[ ${KAVO_WINEPREFIX:-/} == /* ]] || export KAVO_WINEPREFIX=$PWD/$KAVO_WINEPREFIX
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build -q bench kavo_links_bench
# Measured under the lock: no build or test run in the same folder meanwhile.
scripts/build -q windows kavo kavo_bench_bare kavo_bench_launcher kavo_bench_controls \
  kavo_bench_picture kavo_bench_drop -- python3 bench/report.py
