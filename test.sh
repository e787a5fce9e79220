#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the pure code natively under ASan and
# UBSan, then kavo.exe, the same unit tests and the end-to-end tests under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
echo "== native: unit tests under sanitizers"
cmake --workflow --preset native
echo "== fuzz: the pure code under libFuzzer, bounded"
cmake --workflow --preset fuzz
echo "== windows: kavo.exe, unit tests and end-to-end tests under Wine"
cmake --workflow --preset windows
