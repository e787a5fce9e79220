#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the pure code natively under ASan and
# UBSan, then kavo.exe, the same unit tests and the end-to-end tests under Wine and Xvfb. Each
# folder's tests run under its build lock (scripts/build): they use its files and Wine prefix.
set -euo pipefail
[ $# -eq 0 ] || { echo "usage: $0 takes no arguments (docs/design.md says what it reads instead)" >&2; exit 2; }
cd "$(dirname "$0")"
scripts/install-deps.sh
echo "== native: unit tests under sanitizers"
scripts/build native -- ctest --preset native
echo "== fuzz: the pure code under libFuzzer, bounded"
scripts/build fuzz -- ctest --preset fuzz
echo "== windows: kavo.exe, unit tests and end-to-end tests under Wine"
scripts/build windows -- ctest --preset windows
